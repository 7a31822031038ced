#include "platform/odbc/Handles.h"

#include "platform/odbc/DriverKeys.h"

#include <QStringList>
#include <algorithm>

namespace odbc::detail {

namespace {

struct Diagnostic {
    QString state;
    QString message;
    SQLINTEGER nativeError = 0;
};

// Reads record number of the handle's diagnostics; false when there is none.
bool readDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT number,
                    SQLSMALLINT messageChars, Diagnostic& diagnostic) {
    SQLWCHAR state[6] = {};
    std::vector<SQLWCHAR> message(static_cast<size_t>(messageChars));
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, number, state, &diagnostic.nativeError,
                                        message.data(), messageChars, &length);
    if (!SQL_SUCCEEDED(rc)) {
        return false;
    }
    diagnostic.state = fromWide(state, 5);
    const SQLSMALLINT shown = std::clamp<SQLSMALLINT>(length, 0, messageChars - 1);
    diagnostic.message = fromWide(message.data(), shown);
    return true;
}

QString describeReturnCode(SQLRETURN rc) {
    switch (rc) {
    case SQL_INVALID_HANDLE:
        return QStringLiteral("an invalid handle");
    case SQL_NEED_DATA:
        return QStringLiteral("a request for parameter data");
    case SQL_NO_DATA:
        return QStringLiteral("no data");
    default:
        return QStringLiteral("return code %1").arg(rc);
    }
}

[[noreturn]] void throwDiagnostics(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle,
                                   const char* operation) {
    if (handle != SQL_NULL_HANDLE && rc != SQL_INVALID_HANDLE) {
        const Diagnostics found = readDiagnostics(handleType, handle);
        if (!found.description.isEmpty()) {
            const Verdict verdict = verdictOf(found.state, found.number);
            throw Error(found.number, found.description, found.state, verdict.outcome,
                        verdict.lockHeld);
        }
    }
    throw Error(0, QStringLiteral("%1 failed with %2 and the driver gave no reason.")
                       .arg(QLatin1String(operation), describeReturnCode(rc)));
}

} // namespace

// Native errors mean what their driver says: MariaDB's and MySQL's are the
// server's error numbers (1000 and up) and the client's (2000 and up);
// SQLite's are its result codes (below 256); PostgreSQL's driver puts the
// server's own SQLSTATE first.
Verdict verdictOf(const QString& state, long number) {
    const auto is = [&state](const char* code) { return state == QLatin1String(code); };
    const bool generic = is("HY000") || is("S1000");
    // A lock wait given up (PostgreSQL's lock_timeout, MariaDB's lock wait
    // timeouts, SQLite's busy or locked table), or a deadlock.
    if (is("55P03") || is("40P01") || number == 1205 || number == 1213 ||
        (generic && (number == 5 || number == 6))) {
        return {Outcome::NotDone, true};
    }
    // The link broke after the statement may have reached the server
    // (MariaDB: server gone away, connection lost during the query).
    if (is("08S01") || is("08003") || is("08007") || number == 2006 || number == 2013) {
        return {Outcome::Unknown, false};
    }
    // Cancelled: PostgreSQL's statement_timeout or a cancel request,
    // MariaDB's max_statement_time (1969, which its driver reports as
    // HY018), MySQL's max_execution_time (3024), the driver's own timeout.
    const bool cancelled = is("57014") || is("70100") || is("HY008") || is("HYT00") ||
                           is("HYT01") || number == 1969 || number == 3024;
    return {Outcome::NotDone, false, cancelled};
}

Diagnostics readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT messageChars) {
    Diagnostics found;
    QStringList lines;
    Diagnostic diagnostic;
    for (SQLSMALLINT record = 1;
         record < 32767 && readDiagnostic(handleType, handle, record, messageChars, diagnostic);
         ++record) {
        if (record == 1) {
            found.number = diagnostic.nativeError;
            found.state = diagnostic.state;
        }
        lines << diagnostic.state + QStringLiteral(": ") + diagnostic.message;
    }
    found.description = lines.join(QLatin1Char('\n'));
    return found;
}

QString fromWide(const SQLWCHAR* chars, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(chars), length);
}

void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* operation,
           bool noDataIsSuccess) {
    if (SQL_SUCCEEDED(rc) || (noDataIsSuccess && rc == SQL_NO_DATA)) {
        return;
    }
    throwDiagnostics(rc, handleType, handle, operation);
}

SQLPOINTER secondsAttribute(std::chrono::milliseconds bound) {
    return reinterpret_cast<SQLPOINTER>(
        static_cast<SQLULEN>(std::chrono::ceil<std::chrono::seconds>(bound).count()));
}

Handle::Handle(SQLSMALLINT type, SQLHANDLE parent, SQLSMALLINT parentType) : type_(type) {
    const SQLRETURN rc = SQLAllocHandle(type, parent, &handle_);
    if (!SQL_SUCCEEDED(rc)) {
        handle_ = SQL_NULL_HANDLE;
        if (parent == SQL_NULL_HANDLE) {
            throw Error(0, QStringLiteral("The ODBC driver manager could not create an "
                                          "environment; check the unixODBC installation."));
        }
        detail::check(rc, parentType, parent, "Allocating an ODBC handle");
    }
}

Handle::~Handle() {
    if (handle_ != SQL_NULL_HANDLE) {
        SQLFreeHandle(type_, handle_);
    }
}

namespace {

// No user name or password at all: drivers then take those of the data
// source, where some would take empty ones as given.
SQLRETURN connectByName(SQLHDBC connection, const QString& dataSource) {
    WideText name(dataSource);
    return SQLConnectW(connection, name.data(), static_cast<SQLSMALLINT>(name.length()), nullptr, 0,
                       nullptr, 0);
}

SQLRETURN connectWithKeys(SQLHDBC connection, const QString& dataSource,
                          const QString& driverKeys) {
    WideText text(QStringLiteral("DSN=") + dataSource + QLatin1Char(';') + driverKeys);
    return SQLDriverConnectW(connection, nullptr, text.data(),
                             static_cast<SQLSMALLINT>(text.length()), nullptr, 0, nullptr,
                             SQL_DRIVER_NOPROMPT);
}

// Attributes a driver may not support: asked for, and left when refused.
void askForTimeouts(SQLHDBC connection, const Timeouts& timeouts) {
    SQLSetConnectAttrW(connection, SQL_ATTR_LOGIN_TIMEOUT, secondsAttribute(timeouts.connect), 0);
    SQLSetConnectAttrW(connection, SQL_ATTR_CONNECTION_TIMEOUT,
                       secondsAttribute(timeouts.statement), 0);
}

QString inSeconds(std::chrono::milliseconds bound) {
    return QString::number(static_cast<double>(bound.count()) / 1000);
}

} // namespace

bool isTimeout(const QString& state, const Verdict& verdict, std::chrono::milliseconds waited,
               std::chrono::milliseconds bound, bool cancelOnly) {
    if (state == QLatin1String("HYT00") || state == QLatin1String("HYT01")) {
        return true;
    }
    // Drivers count their timeouts in whole seconds and may end a little early.
    return (verdict.cancelled || !cancelOnly) && waited >= bound - std::chrono::seconds(1);
}

QString connectTimedOut(const QString& dataSource, std::chrono::milliseconds bound) {
    return QStringLiteral("The data source \"%1\" did not answer within %2 seconds, so the "
                          "program stopped waiting for it. Check that its server is running and "
                          "can be reached from this computer.")
        .arg(dataSource, inSeconds(bound));
}

QString statementTimedOut(const QString& dataSource, std::chrono::milliseconds bound) {
    return QStringLiteral("The data source \"%1\" did not answer a statement within %2 "
                          "seconds, so the program stopped waiting for it. The statement had "
                          "been sent, and the server may still carry it out: look at what the "
                          "data source holds before trying again. Check that its server is "
                          "running and can be reached from this computer.")
        .arg(dataSource, inSeconds(bound));
}

QString statementCancelled(const QString& dataSource, std::chrono::milliseconds bound) {
    return QStringLiteral("The data source \"%1\" cancelled a statement that took longer than "
                          "%2 seconds; it was not carried out.")
        .arg(dataSource, inSeconds(bound));
}

QString lockWaitEnded(const QString& dataSource) {
    return QStringLiteral("The data source \"%1\" did not carry out a statement: another "
                          "session holds a lock on a table it needs, and the server stopped "
                          "waiting for it. Let the program that uses the table finish its work "
                          "there, then try again.")
        .arg(dataSource);
}

QString linkBroken(const QString& dataSource) {
    return QStringLiteral("The connection to the data source \"%1\" broke during a "
                          "statement, which the server may or may not carry out: look at what "
                          "the data source holds before trying again.")
        .arg(dataSource);
}

Session::Session(const Handle& environment, const QString& dataSource, const QString& driverKeys,
                 const Timeouts& timeouts, Watchdog& watchdog)
    : connection_(SQL_HANDLE_DBC, environment.get(), SQL_HANDLE_ENV), watchdog_(watchdog),
      disconnectBound_(timeouts.watchdogBound()) {
    askForTimeouts(connection_.get(), timeouts);
    const auto start = std::chrono::steady_clock::now();
    SQLRETURN connected = SQL_ERROR;
    {
        const Watchdog::Call call(watchdog, timeouts.connect);
        const QString keys = withBoundKeys(dataSource, driverKeys, timeouts);
        connected = keys.isEmpty() ? connectByName(connection_.get(), dataSource)
                                   : connectWithKeys(connection_.get(), dataSource, keys);
    }
    if (!SQL_SUCCEEDED(connected)) {
        const Diagnostics found = readDiagnostics(SQL_HANDLE_DBC, connection_.get());
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (watchdog.tripped() || isTimeout(found.state, verdictOf(found.state, found.number),
                                            waited, timeouts.connect, false)) {
            // The driver's own text, when it gave one, says why.
            const QString why =
                found.description.isEmpty() ? QString() : QLatin1Char('\n') + found.description;
            throw Error(0, connectTimedOut(dataSource, timeouts.connect) + why, found.state);
        }
        connection_.check(connected, "Connecting to the data source");
    }
    watchdog.adoptNewSockets();
    // MariaDB's driver asks the server.
    SQLRETURN rc = SQL_ERROR;
    {
        const Watchdog::Call call(watchdog, timeouts.connect);
        rc = SQLSetConnectAttrW(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                                reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    }
    if (!SQL_SUCCEEDED(rc)) {
        const bool tripped = watchdog.tripped();
        try {
            connection_.check(rc, "Switching on autocommit");
        } catch (const Error& error) {
            disconnect();
            if (tripped) {
                throw Error(0,
                            connectTimedOut(dataSource, timeouts.connect) + QLatin1Char('\n') +
                                error.description(),
                            error.state());
            }
            throw;
        }
    }
}

// The driver may say goodbye to the server, which may not answer.
void Session::disconnect() {
    const Watchdog::Call call(watchdog_, disconnectBound_);
    SQLDisconnect(connection_.get());
}

Session::~Session() {
    disconnect();
}

} // namespace odbc::detail
