#include "support/Databases.h"

#include "transfer/Statements.h"

#include <QCoreApplication>
#include <QDateTime>
#include <atomic>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace testing_support {

namespace {

// unixODBC loads its installer library (libodbcinst) on demand and unloads it
// again, which takes the library's cache of ini settings out of reach: the
// leak checker then reports that cache as leaked at exit. Keeping the library
// loaded for the whole test run keeps the cache reachable.
void keepOdbcInstallerLoaded() {
    static void* const library = dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
    (void)library;
}

QString variableOf(const QString& kind) {
    const QString name = kind == QLatin1String("PostgreSQL") ? QStringLiteral("POSTGRES") : kind;
    return QStringLiteral("ORVANDEL_TEST_%1_DSN").arg(name.toUpper());
}

} // namespace

std::optional<QString> dataSourceOf(const QString& kind) {
    keepOdbcInstallerLoaded();
    const QString name = qEnvironmentVariable(variableOf(kind).toLatin1().constData());
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return name;
}

QString missingDataSource(const QString& kind) {
    return QStringLiteral("no %1 data source: set %2 (scripts/test does)")
        .arg(kind, variableOf(kind));
}

sources::Target openDataSource(const QString& name) {
    keepOdbcInstallerLoaded();
    odbc::OdbcOpener opener;
    return sources::Target(opener.open({QStringLiteral("Data Source=") + name, QString()}));
}

QString selectAllFrom(const QString& table) {
    return QStringLiteral("SELECT * FROM ") + transfer::quotedName(table);
}

void dropTableIfExists(odbc::Connection& connection, const QString& table) {
    connection.execute(QStringLiteral("DROP TABLE IF EXISTS ") + transfer::quotedName(table));
}

bool TargetDatabase::open(const QString& kind) {
    const std::optional<QString> name = dataSourceOf(kind);
    if (!name) {
        return false;
    }
    name_ = *name;
    target_.emplace(openDataSource(name_));
    return true;
}

// A table that cannot be dropped fails the test; the rest still go.
TargetDatabase::~TargetDatabase() {
    if (target_) {
        for (const QString& table : owned_) {
            try {
                dropTableIfExists(connection(), table);
            } catch (const odbc::Error& error) {
                ADD_FAILURE() << "table " << table.toStdString()
                              << " was left behind: " << error.what();
            }
        }
    }
}

QString TargetDatabase::createTable(const QString& prefix) {
    const QString table = uniqueTableName(prefix);
    connection().execute("CREATE TABLE " + transfer::quotedName(table) + "(a TEXT)");
    own(table);
    return table;
}

void TargetDatabase::createTableNamed(const QString& table) {
    connection().execute("CREATE TABLE " + transfer::quotedName(table) + "(old TEXT)");
    own(table);
}

std::vector<std::vector<odbc::Value>> TargetDatabase::rowsOf(const QString& table) {
    return connection().query(selectAllFrom(table)).rows;
}

bool TargetDatabase::exists(const QString& table) {
    try {
        rowsOf(table);
        return true;
    } catch (const odbc::Error&) {
        return false;
    }
}

QString uniqueTableName(const QString& prefix) {
    static std::atomic<int> counter{0};
    // Process ids come round again; with the start time they do not.
    static const qint64 started = QDateTime::currentMSecsSinceEpoch() % 100000000;
    return QStringLiteral("%1_%2_%3_%4")
        .arg(prefix.toLower())
        .arg(QCoreApplication::applicationPid())
        .arg(started)
        .arg(++counter);
}

} // namespace testing_support
