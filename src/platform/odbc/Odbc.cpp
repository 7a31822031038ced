#include "platform/odbc/Odbc.h"

#include "platform/odbc/ConnectionString.h"
#include "platform/odbc/DriverKeys.h"
#include "platform/odbc/Handles.h"

#include <QDir>
#include <algorithm>
#include <iterator>
#include <pwd.h>
#include <unistd.h>

namespace odbc {

Error::Error(long number, const QString& description, const QString& state, Outcome outcome,
             bool lockHeld)
    : std::runtime_error(description.toStdString()), number_(number), description_(description),
      state_(state), outcome_(outcome), lockHeld_(lockHeld) {}

namespace {

using detail::Handle;
using detail::WideText;

// Characters fetched per SQLGetData call; longer values come in several calls.
constexpr SQLLEN chunkChars = 4096;

// What bounds the waits of one connection.
struct WaitLimits {
    detail::Watchdog& watchdog;
    Timeouts timeouts;
    QString dataSource;
    bool timeoutPerStatement = false; // the driver takes it only statement by statement
};

SQLULEN queryTimeoutOf(const Handle& statement) {
    SQLULEN seconds = 0;
    SQLGetStmtAttrW(statement.get(), SQL_ATTR_QUERY_TIMEOUT, &seconds, 0, nullptr);
    return seconds;
}

// Asks the driver once for a query timeout on every statement of the
// connection. True when it takes the timeout only statement by statement;
// false when it takes it for the connection, or not at all.
bool askQueryTimeout(const Handle& connection, const Timeouts& timeouts) {
    const SQLPOINTER wanted = detail::secondsAttribute(timeouts.statement);
    SQLSetConnectAttrW(connection.get(), SQL_ATTR_QUERY_TIMEOUT, wanted, 0);
    const Handle probe(SQL_HANDLE_STMT, connection.get(), SQL_HANDLE_DBC);
    if (queryTimeoutOf(probe) == reinterpret_cast<SQLULEN>(wanted)) {
        return false;
    }
    SQLSetStmtAttrW(probe.get(), SQL_ATTR_QUERY_TIMEOUT, wanted, 0);
    return queryTimeoutOf(probe) == reinterpret_cast<SQLULEN>(wanted);
}

// Runs one call that waits for the server. A failure once the watchdog gave
// up, the server's own cancel at the bound, a lock wait the server gave up
// and a broken link are thrown with a sentence on what is known of the
// statement; any other result is returned.
template <typename Call>
SQLRETURN waitFor(const WaitLimits& bounds, SQLSMALLINT handleType, SQLHANDLE handle, Call call) {
    const Timeouts& timeouts = bounds.timeouts;
    const std::chrono::milliseconds watched = timeouts.watchdogBound();
    const auto start = std::chrono::steady_clock::now();
    SQLRETURN rc = SQL_ERROR;
    {
        const detail::Watchdog::Call waiting(bounds.watchdog, watched);
        rc = call();
    }
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) {
        return rc;
    }
    if (bounds.watchdog.tripped()) {
        throw Error(0, detail::statementTimedOut(bounds.dataSource, watched), {}, Outcome::Unknown);
    }
    const detail::Diagnostics found = detail::readDiagnostics(handleType, handle);
    const detail::Verdict verdict = detail::verdictOf(found.state, found.number);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    // The program's own timeouts lead with its sentence, without a number.
    long number = found.number;
    QString known;
    if (verdict.lockHeld) {
        known = detail::lockWaitEnded(bounds.dataSource);
    } else if (detail::isTimeout(found.state, verdict, waited, timeouts.statement, true)) {
        known = detail::statementCancelled(bounds.dataSource, timeouts.statement);
    } else if (verdict.outcome == Outcome::Unknown) {
        // The driver's own read or write timeout ends a wait as the watchdog would.
        const bool timedOut = detail::isTimeout(found.state, verdict, waited, watched, false);
        known = timedOut ? detail::statementTimedOut(bounds.dataSource, watched)
                         : detail::linkBroken(bounds.dataSource);
        number = timedOut ? 0 : number;
    } else {
        return rc;
    }
    throw Error(number, known + QLatin1Char('\n') + found.description, found.state, verdict.outcome,
                verdict.lockHeld);
}

class Statement {
public:
    // Asks the driver to give up a statement after the bound, where it takes
    // that only statement by statement.
    Statement(const Handle& connection, const WaitLimits& bounds)
        : handle_(SQL_HANDLE_STMT, connection.get(), SQL_HANDLE_DBC), bounds_(bounds) {
        if (bounds.timeoutPerStatement) {
            SQLSetStmtAttrW(get(), SQL_ATTR_QUERY_TIMEOUT,
                            detail::secondsAttribute(bounds.timeouts.statement), 0);
        }
    }

    SQLHSTMT get() const { return handle_.get(); }
    void check(SQLRETURN rc, const char* operation, bool noDataIsSuccess = false) const {
        handle_.check(rc, operation, noDataIsSuccess);
    }
    template <typename Call> SQLRETURN waitFor(Call call) const {
        return odbc::waitFor(bounds_, SQL_HANDLE_STMT, get(), call);
    }

    void executeDirect(const QString& text) {
        WideText wide(text);
        check(waitFor([&] { return SQLExecDirectW(get(), wide.data(), wide.length()); }),
              "Executing the statement", true);
    }

    // Reads and drops every further result, so that errors in later results
    // are reported too.
    void skipResults() {
        for (;;) {
            const SQLRETURN rc = waitFor([this] { return SQLMoreResults(get()); });
            if (rc == SQL_NO_DATA) {
                return;
            }
            check(rc, "Reading the results of the statement");
        }
    }

    SQLSMALLINT columnCount() const {
        SQLSMALLINT count = 0;
        check(SQLNumResultCols(get(), &count), "Counting the result columns");
        return count;
    }

    QString columnName(SQLUSMALLINT column) const {
        std::vector<SQLWCHAR> name(256);
        SQLSMALLINT length = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        for (;;) {
            check(SQLDescribeColW(get(), column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                  &length, &type, &size, &digits, &nullable),
                  "Describing a result column");
            if (length < static_cast<SQLSMALLINT>(name.size())) {
                return detail::fromWide(name.data(), length);
            }
            name.resize(static_cast<size_t>(length) + 1);
        }
    }

    // Moves to the next row; false after the last one.
    bool fetch() {
        const SQLRETURN rc = waitFor([this] { return SQLFetch(get()); });
        if (rc == SQL_NO_DATA) {
            return false;
        }
        check(rc, "Fetching a row");
        return true;
    }

    // The current row's value of column as text, read in chunks.
    Value text(SQLUSMALLINT column) {
        std::vector<SQLWCHAR> buffer(chunkChars);
        const SQLLEN bufferBytes = chunkChars * static_cast<SQLLEN>(sizeof(SQLWCHAR));
        QString value;
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = waitFor([&] {
                return SQLGetData(get(), column, SQL_C_WCHAR, buffer.data(), bufferBytes,
                                  &indicator);
            });
            if (rc == SQL_NO_DATA) {
                return value;
            }
            check(rc, "Reading a value");
            if (indicator == SQL_NULL_DATA) {
                return std::nullopt;
            }
            const bool truncated = indicator == SQL_NO_TOTAL || indicator >= bufferBytes ||
                                   (rc == SQL_SUCCESS_WITH_INFO && wasTruncated());
            const SQLLEN chars = truncated ? chunkChars - 1 : charsBeforeEnd(buffer, indicator);
            value += detail::fromWide(buffer.data(), chars);
            if (!truncated) {
                return value;
            }
        }
    }

private:
    bool wasTruncated() const {
        return detail::readDiagnostics(SQL_HANDLE_STMT, get())
            .description.startsWith(QLatin1String("01004"));
    }

    // The characters of a value that fitted the buffer. Some drivers give a
    // length short of non-ASCII text they wrote whole; the terminating NUL
    // that every driver writes after the value tells where it really ends.
    static SQLLEN charsBeforeEnd(const std::vector<SQLWCHAR>& buffer, SQLLEN indicatorBytes) {
        auto chars = indicatorBytes / static_cast<SQLLEN>(sizeof(SQLWCHAR));
        while (chars < chunkChars - 1 && buffer[static_cast<std::size_t>(chars)] != 0) {
            ++chars;
        }
        return chars;
    }

    Handle handle_;
    const WaitLimits& bounds_;
};

class OdbcCatalogRows : public CatalogRows {
public:
    OdbcCatalogRows(const Handle& connection, const WaitLimits& bounds,
                    const std::optional<QString>& catalog)
        : catalogue_(connection, bounds) {
        std::optional<WideText> name;
        if (catalog) {
            name.emplace(*catalog);
        }
        catalogue_.check(catalogue_.waitFor([&] {
            return SQLTablesW(catalogue_.get(), name ? name->data() : nullptr,
                              name ? static_cast<SQLSMALLINT>(name->length()) : 0, nullptr, 0,
                              nullptr, 0, nullptr, 0);
        }),
                         "Reading the tables catalogue");
    }

    std::optional<CatalogEntry> next() override {
        if (!catalogue_.fetch()) {
            return std::nullopt;
        }
        CatalogEntry entry;
        entry.name = catalogue_.text(3); // columns are read in ascending order
        entry.type = catalogue_.text(4);
        return entry;
    }

private:
    Statement catalogue_;
};

class OdbcConnection : public Connection {
public:
    OdbcConnection(const detail::DataSourceRequest& request, const Timeouts& timeouts)
        : environment_(makeEnvironment()),
          watchdog_(detail::serverOf(request.name, request.driverKeys)), bounds_{watchdog_,
                                                                                 timeouts,
                                                                                 request.name},
          session_(*environment_, request.name, request.driverKeys, timeouts, watchdog_) {
        bounds_.timeoutPerStatement = askQueryTimeout(session_.handle(), timeouts);
    }

    void execute(const QString& statement) override {
        Statement command(session_.handle(), bounds_);
        command.executeDirect(statement);
        command.skipResults();
    }

    std::unique_ptr<CatalogRows> tables(const std::optional<QString>& catalog) override {
        return std::make_unique<OdbcCatalogRows>(session_.handle(), bounds_, catalog);
    }

    ServerInfo server() override {
        ServerInfo info;
        info.dbmsName = textInfo(SQL_DBMS_NAME);
        info.maxTableNameLength = numberInfo(SQL_MAX_TABLE_NAME_LEN);
        info.maxColumnNameLength = numberInfo(SQL_MAX_COLUMN_NAME_LEN);
        return info;
    }

    std::optional<QString> currentCatalog() override {
        std::vector<SQLWCHAR> name(256);
        for (;;) {
            SQLINTEGER bytes = 0;
            const auto capacity = static_cast<SQLINTEGER>(name.size() * sizeof(SQLWCHAR));
            session_.handle().check(waitFor([&] {
                                        return SQLGetConnectAttrW(session_.handle().get(),
                                                                  SQL_ATTR_CURRENT_CATALOG,
                                                                  name.data(), capacity, &bytes);
                                    }),
                                    "Reading the current database");
            if (bytes < capacity) {
                const QString catalog = detail::fromWide(
                    name.data(), bytes / static_cast<SQLINTEGER>(sizeof(SQLWCHAR)));
                return catalog.isEmpty() ? std::nullopt : std::optional<QString>(catalog);
            }
            name.resize(static_cast<size_t>(bytes) / sizeof(SQLWCHAR) + 1);
        }
    }

    Timeouts timeouts() const override { return bounds_.timeouts; }

    Rows query(const QString& statement) override {
        Statement select(session_.handle(), bounds_);
        select.executeDirect(statement);
        Rows result;
        const SQLSMALLINT count = select.columnCount();
        for (SQLSMALLINT column = 1; column <= count; ++column) {
            result.columns.push_back(select.columnName(static_cast<SQLUSMALLINT>(column)));
        }
        while (count > 0 && select.fetch()) {
            std::vector<Value> row;
            row.reserve(static_cast<size_t>(count));
            for (SQLSMALLINT column = 1; column <= count; ++column) {
                row.push_back(select.text(static_cast<SQLUSMALLINT>(column)));
            }
            result.rows.push_back(std::move(row));
        }
        return result;
    }

private:
    QString textInfo(SQLUSMALLINT item) const {
        SQLWCHAR text[256] = {};
        SQLSMALLINT bytes = 0;
        session_.handle().check(waitFor([&] {
                                    return SQLGetInfoW(session_.handle().get(), item, text,
                                                       sizeof text, &bytes);
                                }),
                                "Asking the driver about the server");
        const qsizetype chars = std::min<qsizetype>(
            bytes / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)), std::size(text) - 1);
        return detail::fromWide(text, chars);
    }

    int numberInfo(SQLUSMALLINT item) const {
        SQLUSMALLINT number = 0;
        session_.handle().check(waitFor([&] {
                                    return SQLGetInfoW(session_.handle().get(), item, &number,
                                                       sizeof number, nullptr);
                                }),
                                "Asking the driver about the server");
        return number;
    }

    template <typename Call> SQLRETURN waitFor(Call call) const {
        return odbc::waitFor(bounds_, SQL_HANDLE_DBC, session_.handle().get(), call);
    }

    static std::unique_ptr<Handle> makeEnvironment() {
        auto environment =
            std::make_unique<Handle>(SQL_HANDLE_ENV, SQLHANDLE{SQL_NULL_HANDLE}, SQLSMALLINT{0});
        environment->check(SQLSetEnvAttr(environment->get(), SQL_ATTR_ODBC_VERSION,
                                         reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                           "Choosing ODBC version 3");
        return environment;
    }

    // Declared in this order so that the session is closed before the
    // watchdog stops and the environment is freed.
    std::unique_ptr<Handle> environment_;
    detail::Watchdog watchdog_;
    WaitLimits bounds_;
    detail::Session session_;
};

} // namespace

// As unixODBC finds them: $ODBCINI, else .odbc.ini in the account's home
// directory; odbc.ini in $ODBCSYSINI, else in /etc.
QStringList dataSourceFiles() {
    QString user = qEnvironmentVariable("ODBCINI");
    if (user.isEmpty()) {
        const passwd* account = getpwuid(getuid());
        const QString home =
            account && account->pw_dir ? QString::fromLocal8Bit(account->pw_dir) : QDir::homePath();
        user = home + QStringLiteral("/.odbc.ini");
    }
    QString system = qEnvironmentVariable("ODBCSYSINI");
    if (system.isEmpty()) {
        system = QStringLiteral("/etc");
    }
    return {user, system + QStringLiteral("/odbc.ini")};
}

std::unique_ptr<Connection> OdbcOpener::open(const OpenRequest& request) {
    return std::make_unique<OdbcConnection>(detail::dataSourceOf(request), timeouts_);
}

} // namespace odbc
