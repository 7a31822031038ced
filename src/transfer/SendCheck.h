#pragma once

// The read of a whole Paradox table before anything in the data source is
// changed for it: every row is read and every value measured as its
// statement will carry it, so that whatever the program can know stops the
// send while the data source is still as it was. The code page of the
// table's text is chosen in the same read.

#include "sources/Target.h"
#include "sources/codepage/Choice.h"

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace transfer {

// A value that cannot go to the data source: its row and field, what is
// wrong with it (completes "row 3, field NOTE ...") and what the user can do.
class ValueRefused : public std::runtime_error {
public:
    ValueRefused(std::int64_t row, const QString& field, const QString& reason,
                 const QString& remedy);

    std::int64_t row;
    QString field;
    QString reason;
    QString remedy;
};

struct CheckedTable {
    codepage::Choice codePage;
};

// Reads every row of the table and finds what would stop its send: a fault
// of its files (paradox::Error), a code page the user named that the program
// does not know (codepage::PreferenceError), a NUL character, a character the
// database's character set lacks, or a statement larger than the server
// takes (ValueRefused). row follows the row read, counted from 1, for the
// message of an error.
CheckedTable checkTableSendable(const sources::Target& target, const QString& table,
                                const codepage::TableFiles& files, std::int64_t& row);

} // namespace transfer
