#pragma once

// RAII owners of ODBC handles and the conversion of ODBC diagnostics into
// odbc::Error. Private to the ODBC layer.

#include "platform/odbc/Odbc.h"
#include "platform/odbc/Watchdog.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <vector>

namespace odbc::detail {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the W calls must use UTF-16");

// A text in the form the W calls take: its own NUL-terminated UTF-16, not
// copied. The calls take input text through pointers that are not const but
// never write through them.
class WideText {
public:
    explicit WideText(const QString& text) : text_(text) {}
    SQLWCHAR* data() {
        return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text_.utf16()));
    }
    // Length in characters, without the terminating NUL.
    SQLINTEGER length() const { return static_cast<SQLINTEGER>(text_.size()); }

private:
    QString text_;
};

QString fromWide(const SQLWCHAR* chars, qsizetype length);

// Longest message text read from one diagnostic record. It is asked for at
// once: some drivers cut a longer text into several records of the size of
// the first buffer they are given.
constexpr SQLSMALLINT maxMessageChars = 32767;

struct Diagnostics {
    long number = 0;     // native error of the first record
    QString state;       // SQLSTATE of the first record
    QString description; // "SQLSTATE: message" of every record, one a line; empty when none
};

// All diagnostic records of a handle.
Diagnostics readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle,
                            SQLSMALLINT messageChars = maxMessageChars);

// Throws Error built from the diagnostic records of handle when rc is not a
// success. SQL_NO_DATA counts as success where noDataIsSuccess is true.
void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* operation,
           bool noDataIsSuccess = false);

// Owns one handle of any type and frees it on destruction.
class Handle {
public:
    // Allocates a handle of type under parent (SQL_NULL_HANDLE for an
    // environment); throws Error when that fails.
    Handle(SQLSMALLINT type, SQLHANDLE parent, SQLSMALLINT parentType);
    ~Handle();
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    void check(SQLRETURN rc, const char* operation, bool noDataIsSuccess = false) const {
        detail::check(rc, type_, handle_, operation, noDataIsSuccess);
    }

private:
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// Whether a failure with SQLSTATE state after waiting so long is the
// driver's timeout: one it reports as such, or one that came once the bound
// had passed; with cancelOnly, only a cancelled statement (the server's own
// statement timeout) counts so.
bool isTimeout(const QString& state, std::chrono::milliseconds waited,
               std::chrono::milliseconds bound, bool cancelOnly);

// The texts of the errors for a data source that did not answer in time.
QString connectTimedOut(const QString& dataSource, std::chrono::milliseconds bound);
QString statementTimedOut(const QString& dataSource, std::chrono::milliseconds bound);

// A connection handle that is connected: disconnects before it is freed.
// Connects by data source name alone, or, with driver keys, through the
// driver with "DSN=<name>;<keys>". The driver is asked to give up connecting
// after timeouts.connect, and so is the watchdog.
class Session {
public:
    Session(const Handle& environment, const QString& dataSource, const QString& driverKeys,
            const Timeouts& timeouts, Watchdog& watchdog);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const Handle& handle() const { return connection_; }

private:
    Handle connection_;
};

} // namespace odbc::detail
