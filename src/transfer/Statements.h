#pragma once

// Texts of the statements sent to the data source. Names stand between
// double quotes; a double quote inside a name is doubled.

#include "sources/Engine.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace transfer {

QString quotedName(const QString& name);

// DROP TABLE "<table>"
QString dropTableStatement(const QString& table);
// ALTER TABLE "<old>" RENAME TO "<new>";
QString renameTableStatement(const QString& oldName, const QString& newName);

// Builds CREATE TABLE "<table>"("<column>" TYPE,...); with the engine's
// column types.
class CreateTableText {
public:
    CreateTableText(const QString& table, const sources::ColumnTypes& types);
    void addColumn(const QString& name, int adoType);
    QString finish();

private:
    QString text_;
    sources::ColumnTypes types_;
};

// Whether text holds bytes beyond ASCII, which InsertText decodes rather
// than widens.
bool hasHighBytes(std::string_view bytes);

// Bytes of UTF-8 that a value takes in an INSERT statement, its separator
// included: utf8Bytes of text holding quotes single quotes, or NULL when
// empty.
std::int64_t insertedValueBytes(std::int64_t utf8Bytes, std::int64_t quotes, bool first);

// Bytes of UTF-8 of an INSERT statement of the table around its values.
std::int64_t insertFrameBytes(const QString& table);

// Builds INSERT INTO "<table>" VALUES('a', NULL, 'b''c') for one row after
// another in one buffer. A NULL or empty value is written as NULL; every
// other value as a quoted text.
class InsertText {
public:
    explicit InsertText(const QString& table);
    // Starts the statement of the next row.
    void begin();
    // Appends a value given as UTF-8.
    void addValue(std::string_view value);
    // The statement, valid until the next begin.
    const QString& finish();

private:
    QString prefix_;
    QString text_;
    bool first_ = true;
};

} // namespace transfer
