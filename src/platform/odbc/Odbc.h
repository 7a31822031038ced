#pragma once

// A small layer over the ODBC C API: connections opened from an ADO-style
// connection string, statements executed in autocommit, the tables catalogue
// and query results. Text crosses the API as UTF-16 (the W calls).

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace odbc {

// What is known of the work a failed call had sent to the server.
enum class Outcome {
    NotDone, // refused or cancelled by the server, or never sent: it did not and will not happen
    Unknown, // the program stopped waiting without the server's word: it may still happen
};

// Every failure of this layer. number is the driver's native error of the
// first diagnostic record (0: none); description holds SQLSTATE and message
// of all records; state is the SQLSTATE of the first record (empty: none).
// outcome says whether the server may still carry out what the call sent;
// lockHeld that the server said another session holds a lock the statement
// waited for.
class Error : public std::runtime_error {
public:
    using Outcome = odbc::Outcome;

    Error(long number, const QString& description, const QString& state = {},
          Outcome outcome = Outcome::NotDone, bool lockHeld = false);
    long number() const { return number_; }
    const QString& description() const { return description_; }
    const QString& state() const { return state_; }
    Outcome outcome() const { return outcome_; }
    bool lockHeld() const { return lockHeld_; }

private:
    long number_;
    QString description_;
    QString state_;
    Outcome outcome_;
    bool lockHeld_;
};

// How long the program waits for a data source. 15 s to connect and 30 s for
// a statement are what data access layers have long used by default. A
// statement's bound counts from the last byte that moved between program and
// server, so a large statement on a slow link is not cut while it flows. The
// driver's own statement timeout (where the server carries it out and ends
// the statement cleanly) gets serverCancelGrace more before the program cuts
// the connection.
struct Timeouts {
    std::chrono::milliseconds connect = std::chrono::seconds(15);
    std::chrono::milliseconds statement = std::chrono::seconds(30);
    std::chrono::milliseconds serverCancelGrace = std::chrono::seconds(5);

    // How long a statement's connection may stay quiet before the program
    // cuts it: the statement's bound and the grace for the server's cancel.
    std::chrono::milliseconds watchdogBound() const { return statement + serverCancelGrace; }
};

using Value = std::optional<QString>; // nullopt is SQL NULL

struct CatalogEntry {
    Value type; // TABLE_TYPE
    Value name; // TABLE_NAME
};

// The rows of the tables catalogue, fetched one at a time. Lives no longer
// than the connection that opened it.
class CatalogRows {
public:
    virtual ~CatalogRows() = default;
    // The next row; nothing after the last one.
    virtual std::optional<CatalogEntry> next() = 0;
};

// What the driver reports about the server behind a connection.
struct ServerInfo {
    QString dbmsName;            // SQL_DBMS_NAME, such as "PostgreSQL"
    int maxTableNameLength = 0;  // SQL_MAX_TABLE_NAME_LEN; 0 when the driver names no limit
    int maxColumnNameLength = 0; // SQL_MAX_COLUMN_NAME_LEN; likewise
};

struct Rows {
    std::vector<QString> columns;
    std::vector<std::vector<Value>> rows;
};

// An open connection. Abstract so that tests can wrap or count connections.
class Connection {
public:
    virtual ~Connection() = default;
    // Executes one statement in autocommit and discards any result.
    virtual void execute(const QString& statement) = 0;
    // The tables catalogue, open on its first row: of every catalog, or of
    // the one named.
    virtual std::unique_ptr<CatalogRows> tables(const std::optional<QString>& catalog) = 0;
    // Every row of a query, values as text.
    virtual Rows query(const QString& statement) = 0;
    // What the driver reports about the server.
    virtual ServerInfo server() = 0;
    // The connection's current database (catalog); nothing when the driver
    // names none.
    virtual std::optional<QString> currentCatalog() = 0;
    // The bounds its waits are held to.
    virtual Timeouts timeouts() const = 0;
};

// A connection that passes every call on to the one it owns; wrappers that
// watch a connection override what they watch.
class ForwardingConnection : public Connection {
public:
    explicit ForwardingConnection(std::unique_ptr<Connection> real) : real_(std::move(real)) {}
    void execute(const QString& statement) override { real_->execute(statement); }
    std::unique_ptr<CatalogRows> tables(const std::optional<QString>& catalog) override {
        return real_->tables(catalog);
    }
    Rows query(const QString& statement) override { return real_->query(statement); }
    ServerInfo server() override { return real_->server(); }
    std::optional<QString> currentCatalog() override { return real_->currentCatalog(); }
    Timeouts timeouts() const override { return real_->timeouts(); }

private:
    std::unique_ptr<Connection> real_;
};

// What to open: the ADO-style string ("Data Source=<name>", optionally with
// "Provider=MSDASQL") and the provider set on the connection object before
// opening (empty when left unset).
struct OpenRequest {
    QString connectionString;
    QString provider;
};

// Opens connections. The product uses the ODBC opener; tests substitute
// openers that count or record.
class Opener {
public:
    virtual ~Opener() = default;
    virtual std::unique_ptr<Connection> open(const OpenRequest& request) = 0;
};

// The real opener: connects to the named ODBC data source, giving the driver
// no user name or password of its own, so that those of the data source
// apply. Throws Error on failure.
class OdbcOpener : public Opener {
public:
    explicit OdbcOpener(Timeouts timeouts = {}) : timeouts_(timeouts) {}
    std::unique_ptr<Connection> open(const OpenRequest& request) override;
    const Timeouts& timeouts() const { return timeouts_; }

private:
    Timeouts timeouts_;
};

// The files unixODBC reads data sources from: the user's, then the system's.
QStringList dataSourceFiles();

} // namespace odbc
