#pragma once

// Reader of Paradox table files (.db with its .mb), offering the recordset
// operations the transfer needs. Depends on the standard library only.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace paradox {

// Every failure of the reader. The message names the file and what is wrong.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ADO data type codes reported for the fields.
enum AdoType : int {
    adSmallInt = 2,
    adInteger = 3,
    adDouble = 5,
    adBoolean = 11,
    adBinary = 128,
    adDBDate = 133,
    adDBTimeStamp = 135,
    adVarChar = 200,
    adLongVarChar = 201,
    adLongVarBinary = 205,
};

enum class FieldType {
    Alpha,
    Date,
    Short,
    Long,
    Money,
    Number,
    Logical,
    Memo,
    BinaryBlob,
    FormattedMemo,
    Ole,
    Graphic,
    Time,
    Timestamp,
    AutoIncrement,
    Bcd,
    Bytes,
};

struct Field {
    std::string name; // UTF-8
    FieldType type;
    int size;    // the size byte of the field array (decimals for BCD)
    int adoType; // AdoType
};

// One value of the current row. Views (text, bytes, decimal) stay valid until
// the recordset moves or closes.
struct Value {
    enum class Kind {
        Null,
        Integer,   // Short, Long, AutoIncrement: integer
        Double,    // Number, Money: number
        Boolean,   // Logical: boolean
        Date,      // days, 0001-01-01 = day 1 (years -9999 to 9999): integer
        Time,      // milliseconds since midnight: integer
        Timestamp, // day (as Date) * 86400000 + milliseconds of the day: integer
        Decimal,   // BCD: exact decimal text such as "-1.23": text
        Text,      // Alpha, Memo, Formatted Memo (its plain text): UTF-8 text
        Binary,    // Bytes, BLOB, OLE, Graphic (the image, without its prefix): bytes
    };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double number = 0;
    bool boolean = false;
    std::string_view text; // Decimal, Text and Binary

    bool isNull() const { return kind == Kind::Null; }
};

class TableFile;

// Rows of one table, streamed block by block.
class Recordset {
public:
    explicit Recordset(std::unique_ptr<TableFile> table);
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    ~Recordset();

    const std::vector<Field>& fields() const;
    // Exact number of rows, known before the first row is read.
    std::int64_t recordCount() const;
    bool eof() const;
    void moveNext();
    // The value of field i in the current row. Throws Error when not on a row.
    Value value(std::size_t i);
    void close();
    // Oddities found in the table that did not stop the reading (a record
    // count in the header that disagrees with the blocks, ...).
    const std::vector<std::string>& warnings() const;

private:
    std::unique_ptr<TableFile> table_;
};

struct TableOptions {
    // A code page that beats the one the header names; 0 for none.
    int codePageOverride = 0;
    // The code page of tables that name none (3.x tables, or code page 0
    // with an unknown sort order).
    int defaultCodePage = 437;
    // Text values and field names keep their bytes undecoded, so that the
    // code page can be chosen from them.
    bool textAsBytes = false;
};

// Opens the table of a data file (its memo file is found beside it). Throws
// Error naming the file when it cannot be read.
Recordset openTable(const std::filesystem::path& dataFile, const TableOptions& options = {});
// Opens the table of a data file with the memo file given (nothing: there is
// none, an error only for a table with memo or BLOB fields).
Recordset openTable(const std::filesystem::path& dataFile,
                    const std::optional<std::filesystem::path>& memoFile,
                    const TableOptions& options = {});

} // namespace paradox
