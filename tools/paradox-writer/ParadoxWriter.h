#pragma once

// A small writer of Paradox tables (.db with its .mb), for the tests, the
// benchmarks and the developer tools. Never part of the product. Rows are
// written block by block, so tables of any length take little memory.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace paradox_writer {

class WriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Field type codes of the field array.
enum TypeCode : std::uint8_t {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Money = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    BinaryBlob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoIncrement = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

struct Column {
    std::string name; // bytes in the table's code page
    TypeCode type;
    std::uint8_t size = 0; // Alpha/Bytes length, BLOB leader + 10, BCD decimals; 0 = natural
};

// A cell: blank; an integer (Short, Long, AutoIncrement; days for Date, ms
// for Time, day * 86400000 + ms for Timestamp); a double (Number, Money); a
// boolean (Logical); bytes (Alpha, Bytes, BLOB types, and the decimal text of
// a BCD such as "-1.23").
using Cell = std::variant<std::monostate, std::int64_t, double, bool, std::string>;
using Row = std::vector<Cell>;

struct TableDesign {
    std::vector<Column> columns;
    int versionId = 12;  // 3, 4, 9, 11 or 12
    int blockKiB = 2;    // 1 to 32
    int codePage = 1252; // written for version ids 5 and up
    std::string sortOrder = "ascii";
    std::uint32_t encryptionKey = 0; // 0 = plain
    // The record count written into the header; the real count when unset.
    std::optional<std::uint32_t> headerRecordCount;
};

class TableWriter {
public:
    // Creates path (and its .mb beside it when a column needs one).
    TableWriter(std::string path, TableDesign design);
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;
    ~TableWriter();

    void addRow(const Row& row);
    // Writes the last block and the final header; the files are complete
    // only after this.
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Writes a whole table at once.
void writeTable(const std::string& path, const TableDesign& design, const std::vector<Row>& rows);

// The width in the record of a column.
std::size_t widthOf(const Column& column);

} // namespace paradox_writer
