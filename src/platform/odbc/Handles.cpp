#include "platform/odbc/Handles.h"

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
            throw Error(found.number, found.description);
        }
    }
    throw Error(0, QStringLiteral("%1 failed with %2 and the driver gave no reason.")
                       .arg(QLatin1String(operation), describeReturnCode(rc)));
}

} // namespace

Diagnostics readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT messageChars) {
    Diagnostics found;
    QStringList lines;
    Diagnostic diagnostic;
    for (SQLSMALLINT record = 1;
         record < 32767 && readDiagnostic(handleType, handle, record, messageChars, diagnostic);
         ++record) {
        if (record == 1) {
            found.number = diagnostic.nativeError;
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

} // namespace

Session::Session(const Handle& environment, const QString& dataSource, const QString& driverKeys)
    : connection_(SQL_HANDLE_DBC, environment.get(), SQL_HANDLE_ENV) {
    connection_.check(driverKeys.isEmpty()
                          ? connectByName(connection_.get(), dataSource)
                          : connectWithKeys(connection_.get(), dataSource, driverKeys),
                      "Connecting to the data source");
    const SQLRETURN rc = SQLSetConnectAttrW(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    if (!SQL_SUCCEEDED(rc)) {
        SQLDisconnect(connection_.get());
        connection_.check(rc, "Switching on autocommit");
    }
}

Session::~Session() {
    SQLDisconnect(connection_.get());
}

} // namespace odbc::detail
