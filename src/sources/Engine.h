#pragma once

// What differs between database engines, in one table: how a session is set
// up so that the statement texts mean what they say, the column types where
// the bare NUMERIC or TEXT would lose values, whose tables the catalogue
// lists, and how long a name may be. The engine is chosen by the name the
// driver reports for the server; an engine not in the table gets the
// statements unchanged.

#include "platform/odbc/Odbc.h"

#include <QString>
#include <span>

namespace sources {

// Column types that replace NUMERIC and TEXT; nullptr keeps the plain one.
struct ColumnTypes {
    const char* wideNumber = nullptr; // fractions, and integers past 32 bits
    const char* text = nullptr;       // every text column
};

// How an engine counts the length of a name.
enum class NameUnit { Characters, Utf8Bytes };

// The server's largest statement: how to ask for it, in bytes, and what a
// user does to raise it.
struct StatementLimit {
    const char* query = nullptr; // one row, one number; nullptr: no limit
    const char* howToRaise = nullptr;
};

// The character set the server stores a new table's text in: how to ask for
// its name (one row, one text), and the iconv names of the server's names
// that cannot hold every character; a name not listed holds them all.
struct CharsetName {
    const char* server; // compared without regard to case
    const char* iconv;
};
struct TextEncoding {
    const char* query = nullptr; // nullptr: every character is stored
    std::span<const CharsetName> narrow;
};

struct Engine {
    const char* dbmsName;     // SQL_DBMS_NAME, compared without regard to case
    const char* sessionSetUp; // run right after connecting; nullptr for none
    // Run after it: the server's own bounds on a statement and on a lock
    // wait, from those of the connection (see boundsSetUp); nullptr for none.
    const char* boundsSetUp;
    ColumnTypes columns;  // where NUMERIC or TEXT would round or cut values
    bool ownDatabaseOnly; // list only the tables of the current database
    int nameLimit;        // longest name; 0: as the driver says; -1: no limit
    NameUnit nameUnit;    // what nameLimit counts
    StatementLimit statementLimit;
    TextEncoding encoding;
};

// The iconv name of a character set the server named that lacks characters;
// empty for one that holds them all, or that the program does not know.
QString narrowCharsetOf(const Engine& engine, const QString& serverName);
// The engine's bounds set-up for a connection that waits within timeouts;
// empty for none. A statement is bounded at timeouts.statement; a lock wait
// a second less (at least a second), so that the server names the lock
// rather than the time. The row's text takes the statement bound in seconds
// (%1, maybe with a fraction) and milliseconds (%2), the lock wait's in whole
// seconds (%3) and milliseconds (%4).
QString boundsSetUp(const Engine& engine, const odbc::Timeouts& timeouts);

// The row for the server the driver names; the row of unknown engines when
// none matches.
const Engine& engineNamed(const QString& dbmsName);

} // namespace sources
