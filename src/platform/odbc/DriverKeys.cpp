#include "platform/odbc/DriverKeys.h"

#include <QRegularExpression>
#include <QStringList>
#include <chrono>
#include <odbcinst.h>

namespace odbc::detail {

namespace {

using std::chrono::ceil;
using std::chrono::milliseconds;
using std::chrono::seconds;

// A key of a section of one of unixODBC's files ("ODBC.INI": the user's and
// the system's data sources; "ODBCINST.INI": the drivers).
QString profileKey(const QString& section, const QString& key, const char* file) {
    char value[1024] = {};
    const int length =
        SQLGetPrivateProfileString(section.toUtf8().constData(), key.toUtf8().constData(), "",
                                   value, static_cast<int>(sizeof value), file);
    return length > 0 ? QString::fromUtf8(value, qMin<int>(length, sizeof value - 1)) : QString();
}

DriverKind kindOfLibrary(const QString& library) {
    const QString file = library.section(QLatin1Char('/'), -1).toLower();
    if (file.contains(QLatin1String("maodbc"))) {
        return DriverKind::MariaDB;
    }
    if (file.contains(QLatin1String("psqlodbc"))) {
        return DriverKind::PostgreSQL;
    }
    if (file.contains(QLatin1String("sqlite3odbc"))) {
        return DriverKind::SQLite;
    }
    return DriverKind::Other;
}

struct Key {
    QString name;
    QString value;
};

QString keyName(const QString& part) {
    return part.section(QLatin1Char('='), 0, 0).trimmed();
}

// Where the parts ("key=value") set the key; -1 where none does.
qsizetype indexOfKey(const QStringList& parts, const QString& key) {
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (keyName(parts[i]).compare(key, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

// The libpq options of a pqopt value ("{keepalives=1 ...}" or without the
// braces) that are named in it.
QStringList optionNames(const QString& pqopt) {
    static const QRegularExpression name(QStringLiteral("([A-Za-z_]+)\\s*="));
    QStringList names;
    for (const auto& match : name.globalMatch(pqopt)) {
        names << match.captured(1).toLower();
    }
    return names;
}

// A link that died ends the wait: keepalives while the driver waits for an
// answer, and a bound on data the server does not acknowledge.
QString mergedPqopt(const QString& own, const Timeouts& timeouts) {
    const Key options[] = {
        {QStringLiteral("keepalives"), QStringLiteral("1")},
        {QStringLiteral("keepalives_idle"),
         QString::number(ceil<seconds>(timeouts.statement).count())},
        {QStringLiteral("keepalives_interval"), QStringLiteral("1")},
        {QStringLiteral("keepalives_count"),
         QString::number(
             std::max<long long>(1, ceil<seconds>(timeouts.serverCancelGrace).count()))},
        {QStringLiteral("tcp_user_timeout"), QString::number(timeouts.watchdogBound().count())},
    };
    QString kept = own.trimmed();
    if (kept.startsWith(QLatin1Char('{')) && kept.endsWith(QLatin1Char('}'))) {
        kept = kept.mid(1, kept.size() - 2).trimmed();
    }
    const QStringList named = optionNames(kept);
    QStringList merged;
    for (const Key& option : options) {
        if (!named.contains(option.name)) {
            merged << option.name + QLatin1Char('=') + option.value;
        }
    }
    if (!kept.isEmpty()) {
        merged << kept;
    }
    return QLatin1Char('{') + merged.join(QLatin1Char(' ')) + QLatin1Char('}');
}

// The keys that bound the waits of each driver.
std::vector<Key> boundsOf(DriverKind driver, const Timeouts& timeouts) {
    const auto inSeconds = [](milliseconds bound) {
        return QString::number(ceil<seconds>(bound).count());
    };
    const milliseconds watched = timeouts.watchdogBound();
    switch (driver) {
    case DriverKind::MariaDB:
        return {{QStringLiteral("CONN_TIMEOUT"), inSeconds(timeouts.connect)},
                {QStringLiteral("READ_TIMEOUT"), inSeconds(watched)},
                {QStringLiteral("WRITE_TIMEOUT"), inSeconds(watched)}};
    case DriverKind::SQLite:
        // Milliseconds of waiting for a lock, which the driver waits twice
        // over for a statement (measured: DROP TABLE, ALTER TABLE).
        return {{QStringLiteral("Timeout"), QString::number(timeouts.statement.count() / 2)}};
    case DriverKind::PostgreSQL:
    case DriverKind::Other:
        break;
    }
    return {};
}

// The value of the first of names that the typed keys or the data source set.
QString keyOf(const QString& dataSource, const QStringList& typed,
              std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const qsizetype at = indexOfKey(typed, QLatin1String(name));
        if (at >= 0) {
            return typed[at].section(QLatin1Char('='), 1).trimmed();
        }
        const QString own = dataSourceKey(dataSource, QLatin1String(name)).trimmed();
        if (!own.isEmpty()) {
            return own;
        }
    }
    return {};
}

} // namespace

ServerAddress serverOf(const QString& dataSource, const QString& typedKeys) {
    const QStringList typed = typedKeys.split(QLatin1Char(';'));
    const auto key = [&](std::initializer_list<const char*> names) {
        return keyOf(dataSource, typed, names).toStdString();
    };
    ServerAddress server;
    switch (driverOf(dataSource)) {
    case DriverKind::SQLite:
        return server;
    case DriverKind::PostgreSQL: {
        server.host = key({"Servername", "Server"});
        server.port = key({"Port"});
        if (server.port.empty()) {
            server.port = "5432";
        }
        if (server.host.empty() || server.host.starts_with('/')) {
            const std::string folder =
                server.host.empty() ? std::string("/var/run/postgresql") : server.host;
            server.path = folder + "/.s.PGSQL." + server.port;
            server.host.clear();
        }
        return server;
    }
    case DriverKind::MariaDB:
        server.host = key({"Server"});
        server.port = key({"Port"});
        server.path = key({"Socket"});
        if (server.port.empty()) {
            server.port = "3306";
        }
        if (server.path.empty() && (server.host.empty() || server.host == "localhost")) {
            server.path = "/run/mysqld/mysqld.sock"; // where "localhost" connects
        }
        return server;
    case DriverKind::Other:
        server.host = key({"Server", "Servername", "Host"});
        server.port = key({"Port"});
        return server;
    }
    return server;
}

DriverKind driverOf(const QString& dataSource) {
    if (dataSource.isEmpty()) {
        return DriverKind::Other; // the driver manager refuses it
    }
    const QString driver = dataSourceKey(dataSource, QStringLiteral("Driver"));
    if (driver.isEmpty() || driver.contains(QLatin1Char('/'))) {
        return kindOfLibrary(driver);
    }
    return kindOfLibrary(profileKey(driver, QStringLiteral("Driver"), "ODBCINST.INI"));
}

QString dataSourceKey(const QString& dataSource, const QString& key) {
    return profileKey(dataSource, key, "ODBC.INI");
}

QString withBoundKeys(const QString& dataSource, const QString& typedKeys,
                      const Timeouts& timeouts) {
    QStringList parts;
    for (const QString& part : typedKeys.split(QLatin1Char(';'))) {
        if (!part.trimmed().isEmpty()) {
            parts << part;
        }
    }
    const DriverKind driver = driverOf(dataSource);
    for (const Key& key : boundsOf(driver, timeouts)) {
        if (indexOfKey(parts, key.name) < 0 && dataSourceKey(dataSource, key.name).isEmpty()) {
            parts << key.name + QLatin1Char('=') + key.value;
        }
    }
    if (driver == DriverKind::PostgreSQL) {
        const QString name = QStringLiteral("pqopt");
        const qsizetype typed = indexOfKey(parts, name);
        const QString own = typed >= 0 ? parts.takeAt(typed).section(QLatin1Char('='), 1)
                                       : dataSourceKey(dataSource, name);
        parts << name + QLatin1Char('=') + mergedPqopt(own, timeouts);
    }
    return parts.join(QLatin1Char(';'));
}

} // namespace odbc::detail
