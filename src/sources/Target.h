#pragma once

// The one place the data source of the settings is opened, and what the
// commands need to know of the engine behind it.

#include "platform/odbc/Odbc.h"
#include "sources/Engine.h"
#include "sources/Settings.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace sources {

// Whether the ODBC provider is named on the connection: the catalogue and
// its connection test name it, the commands do not.
enum class Provider { Unnamed, Odbc };

enum class NameKind { Table, Column };

// An open connection to the data source, its session set up for its engine.
class Target {
public:
    // Identifies the engine and sets the session up. Throws odbc::Error.
    explicit Target(std::unique_ptr<odbc::Connection> connection);

    odbc::Connection& connection() const { return *connection_; }
    odbc::Connection* operator->() const { return connection_.get(); }
    const Engine& engine() const { return *engine_; }
    const ColumnTypes& columnTypes() const { return engine_->columns; }

    // The tables catalogue of what the data source holds: of the current
    // database where the engine shows others beside it.
    std::unique_ptr<odbc::CatalogRows> tables() const;

    // Why the engine would not keep the name whole, as the end of a sentence
    // ("is 70 bytes long, and the data source keeps table names of at most
    // 63 bytes"); empty when it fits.
    QString nameTooLong(const QString& name, NameKind kind) const;

    // The largest statement the server takes, in bytes of UTF-8; 0 for no
    // limit, or none known. Asked of the server once, when first wanted:
    // only a send does.
    std::int64_t statementLimit() const;
    // What the user does to let larger statements through.
    QString howToRaiseStatementLimit() const;

    // Whether a new table of the database can hold the character in its
    // text; true where the program cannot tell. The server is asked for its
    // character set once, when first wanted.
    bool storesCharacter(char32_t character) const;
    // The server's name of that character set; empty when not known.
    QString textCharset() const;

private:
    struct Charset;
    const Charset& charset() const;
    void askServerForBounds();
    std::optional<QString> askServer(const char* query) const;

    std::unique_ptr<odbc::Connection> connection_;
    const Engine* engine_;
    int tableNameLimit_;  // 0: no limit
    int columnNameLimit_; // 0: no limit
    mutable std::optional<std::int64_t> statementLimit_;
    mutable std::shared_ptr<const Charset> charset_;
};

// Why the data source (the setting's text: its name, maybe followed by keys
// for the driver) did not open, as a sentence for the user: it is not
// defined in the files unixODBC reads, its driver cannot be loaded, or the
// driver's own text.
QString whyNotOpened(const odbc::Error& error, const QString& dataSourceText);

// Opens "Data Source=<name>" of the settings. Throws odbc::Error.
Target openTarget(const ConnectionSettings& settings, odbc::Opener& opener,
                  Provider provider = Provider::Unnamed);

} // namespace sources
