// paradox-dump FILE.db: prints the table's header facts, the code page its
// text is decoded with and why (as the program chooses it), columns (with the
// ADO type code reported for each) and every row as JSON. Binary values are
// given by length and SHA-256 (and hexadecimal when short). On a bad file the
// error goes to stderr and the exit code is 1.

#include "platform/paradox/Table.h"
#include "sources/codepage/Choice.h"
#include "transfer/ValueText.h"

#include <QCryptographicHash>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

std::string sha256Of(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", byte);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* typeName(paradox::FieldType type) {
    using T = paradox::FieldType;
    switch (type) {
    case T::Alpha:
        return "Alpha";
    case T::Date:
        return "Date";
    case T::Short:
        return "Short";
    case T::Long:
        return "Long Integer";
    case T::Money:
        return "Money";
    case T::Number:
        return "Number";
    case T::Logical:
        return "Logical";
    case T::Memo:
        return "Memo";
    case T::BinaryBlob:
        return "Binary";
    case T::FormattedMemo:
        return "Formatted Memo";
    case T::Ole:
        return "OLE";
    case T::Graphic:
        return "Graphic";
    case T::Time:
        return "Time";
    case T::Timestamp:
        return "Timestamp";
    case T::AutoIncrement:
        return "Autoincrement";
    case T::Bcd:
        return "BCD";
    case T::Bytes:
        return "Bytes";
    }
    return "?";
}

std::string jsonOf(const paradox::Value& value) {
    using K = paradox::Value::Kind;
    switch (value.kind) {
    case K::Null:
        return "null";
    case K::Integer:
    case K::Decimal:
        return transfer::textOf(value);
    case K::Double:
        return std::isfinite(value.number) ? transfer::textOf(value)
                                           : jsonString(transfer::textOf(value));
    case K::Boolean:
        return value.boolean ? "true" : "false";
    case K::Binary: {
        const std::string bytes(value.text);
        std::string out = "{\"len\": " + std::to_string(bytes.size()) + ", \"sha256\": \"" +
                          sha256Of(bytes) + "\"";
        if (bytes.size() <= 64)
            out += ", \"hex\": \"" + transfer::formatHex(bytes) + "\"";
        return out + "}";
    }
    default:
        return jsonString(transfer::textOf(value));
    }
}

void dumpTable(paradox::TableFile& table, const codepage::Choice& choice, const std::string& path) {
    const auto& header = table.header();
    std::cout << "{\n \"file\": " << jsonString(std::filesystem::path(path).filename().string())
              << ",\n \"paradox_version\": " << jsonString(paradox::versionName(header.versionId))
              << ",\n \"code_page\": "
              << (header.versionId >= 5 ? std::to_string(header.storedCodePage) : "null")
              << ",\n \"code_page_used\": " << table.codePage()
              << ",\n \"code_page_reason\": " << jsonString(codepage::nameOf(choice.reason))
              << ",\n \"code_page_why\": " << jsonString(choice.explanation)
              << ",\n \"encrypted\": " << (header.encrypted() ? "true" : "false")
              << ",\n \"columns\": [";
    for (std::size_t i = 0; i < table.fields().size(); ++i) {
        const auto& f = table.fields()[i];
        std::cout << (i ? "," : "") << "\n  {\"name\": " << jsonString(f.name)
                  << ", \"paradox_type\": " << jsonString(typeName(f.type))
                  << ", \"type_code\": " << int(header.fields[i].code) << ", \"size\": " << f.size
                  << ", \"ado_type\": " << f.adoType << "}";
    }
    std::cout << "\n ],\n \"row_count\": " << table.recordCount() << ",\n \"rows\": [";
    for (std::int64_t row = 0; !table.eof(); table.moveNext(), ++row) {
        std::cout << (row ? "," : "") << "\n  [";
        for (std::size_t i = 0; i < table.fields().size(); ++i)
            std::cout << (i ? ", " : "") << jsonOf(table.value(i));
        std::cout << "]";
    }
    std::cout << "\n ],\n \"notes\": [";
    for (std::size_t i = 0; i < table.warnings().size(); ++i)
        std::cout << (i ? ", " : "") << jsonString(table.warnings()[i]);
    std::cout << "]\n}\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: paradox-dump FILE.db\n";
        return 2;
    }
    try {
        const codepage::Choice choice = codepage::codePageOfTable(std::filesystem::path(argv[1]));
        paradox::TableFile table(argv[1], codepage::tableOptionsOf(choice));
        dumpTable(table, choice, argv[1]);
    } catch (const paradox::Error& e) {
        std::cout.flush();
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
