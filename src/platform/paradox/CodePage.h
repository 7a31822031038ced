#pragma once

// Single-byte code pages of Paradox tables, decoded to UTF-8 with tables of
// our own (CodePageTables.cpp, generated).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace paradox {

struct CodePageTable {
    int number;              // the DOS/Windows number; HpRoman8 for HP Roman-8
    const char* name;        // a readable name for messages
    std::uint16_t high[128]; // code points of the bytes 0x80 to 0xFF
};

// HP Roman-8 has no DOS number; tables tell it only by their sort order.
constexpr int HpRoman8 = -8;

extern const CodePageTable codePageTables[];
extern const std::size_t codePageTableCount;

// The table of a code page number, or nullptr when the reader has none.
const CodePageTable* findCodePage(int number);

// The code page a sort-order name implies, or 0 when the name tells none.
int codePageOfSortOrder(std::string_view sortOrderName);

// Appends the bytes decoded as UTF-8. Without a table only ASCII can be
// decoded: returns false at the first byte of 0x80 or above (out is then
// incomplete).
bool appendUtf8(std::string& out, std::string_view bytes, const CodePageTable* table);

// Appends one code point as UTF-8.
void appendCodePoint(std::string& out, std::uint32_t codePoint);

} // namespace paradox
