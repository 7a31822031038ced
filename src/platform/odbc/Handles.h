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
constexpr SQLSMALLINT MaxMessageChars = 32767;

struct Diagnostics {
    long number = 0;     // native error of the first record
    QString state;       // SQLSTATE of the first record
    QString description; // "SQLSTATE: message" of every record, one a line; empty when none
};

// What a failure's SQLSTATE and native error tell of its statement: whether
// the server may still carry it out, whether it waited for a lock that
// another session holds, and whether it was cancelled.
struct Verdict {
    Outcome outcome = Outcome::NotDone;
    bool lockHeld = false;
    bool cancelled = false; // by the server or the driver, such as at a statement timeout
};
Verdict verdictOf(const QString& state, long number);

// All diagnostic records of a handle.
Diagnostics readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle,
                            SQLSMALLINT messageChars = MaxMessageChars);

// Throws Error built from the diagnostic records of handle when rc is not a
// success. SQL_NO_DATA counts as success where noDataIsSuccess is true.
void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* operation,
           bool noDataIsSuccess = false);

// A bound as the value of an attribute that counts whole seconds, rounded up.
SQLPOINTER secondsAttribute(std::chrono::milliseconds bound);

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

// Whether a failure after waiting so long is the driver's timeout: one it
// reports as such (with its SQLSTATE, or its verdict cancelled), or one that
// came once the bound had passed; with cancelOnly, only a cancelled statement
// (the server's own statement timeout) counts so.
bool isTimeout(const QString& state, const Verdict& verdict, std::chrono::milliseconds waited,
               std::chrono::milliseconds bound, bool cancelOnly);

// The texts of the errors for a data source that did not answer in time
// (where the program stopped waiting), that cancelled a statement at the
// bound, that gave up a lock wait, or whose link broke; each says what is
// known of the statement.
QString connectTimedOut(const QString& dataSource, std::chrono::milliseconds bound);
QString statementTimedOut(const QString& dataSource, std::chrono::milliseconds bound);
QString statementCancelled(const QString& dataSource, std::chrono::milliseconds bound);
QString lockWaitEnded(const QString& dataSource);
QString linkBroken(const QString& dataSource);

// A connection handle that is connected: disconnects before it is freed.
// Connects through the driver with "DSN=<name>;<keys>", the keys being those
// typed and the bounds the driver takes (withBoundKeys); by data source name
// alone when there are none. The driver is asked to give up connecting after
// timeouts.connect, and so is the watchdog, which also bounds switching on
// autocommit and disconnecting.
class Session {
public:
    Session(const Handle& environment, const QString& dataSource, const QString& driverKeys,
            const Timeouts& timeouts, Watchdog& watchdog);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const Handle& handle() const { return connection_; }

private:
    void disconnect();

    Handle connection_;
    Watchdog& watchdog_;
    std::chrono::milliseconds disconnectBound_;
};

} // namespace odbc::detail
