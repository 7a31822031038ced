#include "sources/Target.h"

#include <QList>
#include <cerrno>
#include <iconv.h>

namespace sources {

namespace {

int limitOf(const Engine& engine, int reported) {
    if (engine.nameLimit < 0) {
        return 0;
    }
    return engine.nameLimit > 0 ? engine.nameLimit : reported;
}

qsizetype lengthOf(const QString& name, NameUnit unit) {
    return unit == NameUnit::Utf8Bytes ? name.toUtf8().size() : name.toUcs4().size();
}

// A conversion from UTF-32 into a character set, closed when it goes.
class Conversion {
public:
    explicit Conversion(const QString& charset)
        : handle_(iconv_open(charset.toLatin1().constData(), "UTF-32LE")) {}
    ~Conversion() {
        if (valid()) {
            iconv_close(handle_);
        }
    }
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Whether the character set has the character.
    bool converts(char32_t character) {
        char in[4];
        for (int i = 0; i < 4; ++i) {
            in[i] = static_cast<char>((character >> (8 * i)) & 0xFF);
        }
        char out[16];
        char* from = in;
        char* to = out;
        std::size_t left = sizeof in;
        std::size_t room = sizeof out;
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        return iconv(handle_, &from, &left, &to, &room) != static_cast<std::size_t>(-1);
    }

private:
    iconv_t handle_;
};

} // namespace

struct Target::Charset {
    QString serverName;
    std::unique_ptr<Conversion> narrow; // null: holds every character, or not known
};

Target::Target(std::unique_ptr<odbc::Connection> connection) : connection_(std::move(connection)) {
    const odbc::ServerInfo server = connection_->server();
    engine_ = &engineNamed(server.dbmsName);
    tableNameLimit_ = limitOf(*engine_, server.maxTableNameLength);
    columnNameLimit_ = limitOf(*engine_, server.maxColumnNameLength);
    if (engine_->sessionSetUp) {
        connection_->execute(QString::fromLatin1(engine_->sessionSetUp));
    }
    askServerForBounds();
}

// A server that refuses them (an older release) leaves the waits to the
// driver and the program's own bound; one that stopped answering ends the
// opening.
void Target::askServerForBounds() {
    const QString bounds = boundsSetUp(*engine_, connection_->timeouts());
    if (bounds.isEmpty()) {
        return;
    }
    try {
        connection_->execute(bounds);
    } catch (const odbc::Error& error) {
        if (error.outcome() == odbc::Outcome::Unknown) {
            throw;
        }
    }
}

// The one value a question of the engine table answers; nothing when the
// server answers none or refuses the question.
std::optional<QString> Target::askServer(const char* query) const {
    try {
        const odbc::Rows answer = connection_->query(QString::fromLatin1(query));
        if (!answer.rows.empty() && !answer.rows[0].empty() && answer.rows[0][0]) {
            return answer.rows[0][0]->trimmed();
        }
    } catch (const odbc::Error& error) {
        if (error.outcome() == odbc::Outcome::Unknown) {
            throw; // the connection is gone: so is the command
        }
    }
    return std::nullopt;
}

// A question the server does not answer leaves the limit unknown: the send
// goes on, and the server judges each statement itself.
std::int64_t Target::statementLimit() const {
    if (!statementLimit_) {
        std::int64_t bytes = 0;
        if (const char* query = engine_->statementLimit.query) {
            bytes = askServer(query).value_or(QString()).toLongLong();
        }
        statementLimit_ = bytes;
    }
    return *statementLimit_;
}

// A question the server cannot answer leaves the character set unknown, and
// every character is taken then: the server still refuses what it lacks.
const Target::Charset& Target::charset() const {
    if (charset_) {
        return *charset_;
    }
    auto found = std::make_shared<Charset>();
    if (const char* query = engine_->encoding.query) {
        found->serverName = askServer(query).value_or(QString());
    }
    const QString narrow = narrowCharsetOf(*engine_, found->serverName);
    if (!narrow.isEmpty()) {
        auto conversion = std::make_unique<Conversion>(narrow);
        if (conversion->valid()) {
            found->narrow = std::move(conversion);
        }
    }
    charset_ = std::move(found);
    return *charset_;
}

bool Target::storesCharacter(char32_t character) const {
    const Charset& set = charset();
    return character < 0x80 || !set.narrow || set.narrow->converts(character);
}

QString Target::textCharset() const {
    return charset().serverName;
}

QString Target::howToRaiseStatementLimit() const {
    return QString::fromLatin1(engine_->statementLimit.howToRaise);
}

std::unique_ptr<odbc::CatalogRows> Target::tables() const {
    return connection_->tables(engine_->ownDatabaseOnly ? connection_->currentCatalog()
                                                        : std::nullopt);
}

QString Target::nameTooLong(const QString& name, NameKind kind) const {
    const int limit = kind == NameKind::Table ? tableNameLimit_ : columnNameLimit_;
    const qsizetype length = lengthOf(name, engine_->nameUnit);
    if (limit <= 0 || length <= limit) {
        return {};
    }
    const QString unit = engine_->nameUnit == NameUnit::Utf8Bytes ? QStringLiteral("bytes")
                                                                  : QStringLiteral("characters");
    return QStringLiteral("is %1 %2 long, and the data source keeps %3 names of at most %4 %2")
        .arg(length)
        .arg(unit, kind == NameKind::Table ? QStringLiteral("table") : QStringLiteral("column"))
        .arg(limit);
}

QString whyNotOpened(const odbc::Error& error, const QString& dataSourceText) {
    const QString& text = error.description();
    // Keys typed after the name (a password, say) stay out of the message.
    const QString dataSource = dataSourceText.section(QLatin1Char(';'), 0, 0).trimmed();
    if (error.state() == QLatin1String("IM002")) {
        if (dataSource.isEmpty()) {
            return QStringLiteral("No data source name is given.");
        }
        const QStringList files = odbc::dataSourceFiles();
        return QStringLiteral("The data source \"%1\" is not defined: unixODBC looks for it in "
                              "%2 (your data sources) and %3 (those of the system).")
            .arg(dataSource, files.value(0), files.value(1));
    }
    // The driver manager names the library it could not open in its text.
    if (error.state() == QLatin1String("IM003") || text.contains(QLatin1String("Can't open lib"))) {
        return QStringLiteral("The driver of the data source \"%1\" cannot be loaded: %2")
            .arg(dataSource, text);
    }
    return text;
}

Target openTarget(const ConnectionSettings& settings, odbc::Opener& opener, Provider provider) {
    const QString name = provider == Provider::Odbc ? QStringLiteral("MSDASQL") : QString();
    return Target(opener.open({dataSourceConnectionString(settings.dataSourceName()), name}));
}

} // namespace sources
