#pragma once

// Helpers for tests that run against the real ODBC data sources prepared by
// scripts/test. A test that needs a data source asks for its name and skips
// itself when the name is not set:
//
//     const auto name = testing_support::dataSourceOf("SQLite");
//     if (!name) GTEST_SKIP() << testing_support::missingDataSource("SQLite");
//
// Get data source names through these functions: they also keep the ODBC
// installer library loaded, without which the leak checker reports its
// settings cache at exit.

#include "platform/odbc/Odbc.h"
#include "sources/Target.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace testing_support {

// The name of the data source of a kind, from ORVANDEL_TEST_<KIND>_DSN:
// "SQLite", "PostgreSQL", "Empty" (SQLite, never holding a table), and for
// one test each "Full" (a SQLite file that stops growing) and "Fault" (a
// PostgreSQL server that is stopped). nullopt when the variable is unset.
std::optional<QString> dataSourceOf(const QString& kind);

// A skip message for a test whose data source ("SQLite", "PostgreSQL") is not
// configured, naming the variable to set.
QString missingDataSource(const QString& kind);

// Opens the named data source through the real ODBC layer, exactly as the
// program does ("Data Source=<name>", the session set up for its engine).
// Throws odbc::Error.
sources::Target openDataSource(const QString& name);

// SELECT * FROM "<table>", the table quoted as the program quotes names.
QString selectAllFrom(const QString& table);

// Drops table (quoted with double quotes) when it exists; fine when it does not.
void dropTableIfExists(odbc::Connection& connection, const QString& table);

// A data source of the tests with the tables a test made in it, dropped
// again when it goes.
class TargetDatabase {
public:
    // Opens the data source of kind ("SQLite", "PostgreSQL"); false when it
    // is not configured.
    bool open(const QString& kind);
    ~TargetDatabase();

    const QString& name() const { return name_; }
    odbc::Connection& connection() { return target_->connection(); }
    const sources::Target& target() const { return *target_; }
    // Creates a table (one text column "a") under a fresh name and returns it.
    QString createTable(const QString& prefix);
    // Creates a table (one text column "old") under exactly this name.
    void createTableNamed(const QString& table);
    // Drops the table at the end of the test.
    void own(const QString& table) { owned_ << table; }
    std::vector<std::vector<odbc::Value>> rowsOf(const QString& table);
    bool exists(const QString& table);

private:
    QString name_;
    std::optional<sources::Target> target_;
    QStringList owned_;
};

// A lower-case table name that no other test or test process uses, also not
// an earlier one whose table was left behind: prefix, process id, the
// process's start time and a running number.
QString uniqueTableName(const QString& prefix);

} // namespace testing_support
