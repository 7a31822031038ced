#pragma once

// A small layer over the ODBC C API: connections opened from an ADO-style
// connection string, statements executed in autocommit, the tables catalogue
// and query results. Text crosses the API as UTF-16 (the W calls).

#include <QString>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace odbc {

// Every failure of this layer. number is the driver's native error of the
// first diagnostic record; description holds SQLSTATE and message of all
// records.
class Error : public std::runtime_error {
public:
    Error(long number, const QString& description);
    long number() const { return number_; }
    const QString& description() const { return description_; }

private:
    long number_;
    QString description_;
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
    // The tables catalogue, without restrictions, open on its first row.
    virtual std::unique_ptr<CatalogRows> tables() = 0;
    // Every row of a query, values as text.
    virtual Rows query(const QString& statement) = 0;
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

// The real opener: connects to the named ODBC data source with an empty user
// and password. Throws Error on failure.
class OdbcOpener : public Opener {
public:
    std::unique_ptr<Connection> open(const OpenRequest& request) override;
};

} // namespace odbc
