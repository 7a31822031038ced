#include "platform/paradox/CodePage.h"

#include "platform/paradox/Lookup.h"

#include <algorithm>
#include <cctype>

namespace paradox {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

const CodePageTable* findCodePage(int number) {
    for (std::size_t i = 0; i < codePageTableCount; ++i)
        if (codePageTables[i].number == number)
            return &codePageTables[i];
    return nullptr;
}

int codePageOfSortOrder(std::string_view sortOrderName) {
    const std::string name = asciiLower(sortOrderName);
    struct Exact {
        const char* name;
        int codePage;
    };
    static const Exact exact[] = {
        {"intl", 437},      {"swedfin", 437},   {"intl850", 850},   {"nordan", 865},
        {"nordan40", 865},  {"ansii850", 1252}, {"dbwinus0", 1252}, {"dbwinwe0", 1252},
        {"ancyrr", 1251},   {"anczech", 1250},  {"anpolish", 1250}, {"ansislov", 1250},
        {"angreek1", 1253}, {"anturk", 1254},   {"anhebrew", 1255}, {"blrom800", HpRoman8},
        {"china", 936},
    };
    for (const Exact& entry : exact)
        if (name == entry.name)
            return entry.codePage;
    struct Prefix {
        const char* prefix;
        int codePage;
    };
    static const Prefix prefixes[] = {
        {"db437", 437}, {"db850", 850},  {"db852", 852},  {"db865", 865},
        {"db866", 866}, {"dbwin", 1252}, {"bllt1", 1252}, {"ansi", 1252},
    };
    for (const Prefix& entry : prefixes)
        if (startsWith(name, entry.prefix))
            return entry.codePage;
    return 0;
}

void appendCodePoint(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool appendUtf8(std::string& out, std::string_view bytes, const CodePageTable* table) {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        out.append(bytes);
        return true;
    }
    if (!table)
        return false;
    out.reserve(out.size() + bytes.size() * 2);
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            out += static_cast<char>(byte);
        else
            appendCodePoint(out, table->high[byte - 0x80]);
    }
    return true;
}

} // namespace paradox
