#include "platform/paradox/Paradox.h"

#include "platform/paradox/Lookup.h"
#include "platform/paradox/Table.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>

namespace paradox {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The value of `key` in a "key=value;key=value" string, keys compared
// ignoring case and surrounding blanks; values are kept verbatim.
std::optional<std::string> attributeOf(const std::string& connectionString, std::string_view key) {
    std::string_view rest = connectionString;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(';'), rest.size());
        const std::string_view item = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const std::size_t eq = item.find('=');
        if (eq != std::string_view::npos && asciiLower(trim(item.substr(0, eq))) == key)
            return std::string(item.substr(eq + 1));
    }
    return std::nullopt;
}

// Takes a case-insensitive keyword and the blanks after it off the front.
bool takeWord(std::string_view& text, std::string_view word) {
    if (text.size() < word.size() || asciiLower(text.substr(0, word.size())) != word)
        return false;
    text.remove_prefix(word.size());
    const std::string_view rest = trim(text);
    const bool separated = rest.size() < text.size() || word == "*" || rest.empty() ||
                           rest.front() == '"' || rest.front() == '*';
    text = rest;
    return separated;
}

// The table name of SELECT * FROM "<name>", with "" standing for ".
std::optional<std::string> tableOfStatement(const std::string& statement) {
    std::string_view text = trim(statement);
    if (!takeWord(text, "select") || !takeWord(text, "*") || !takeWord(text, "from"))
        return std::nullopt;
    if (text.empty() || text.front() != '"')
        return std::nullopt;
    text.remove_prefix(1);
    std::string name;
    for (;;) {
        const std::size_t quote = text.find('"');
        if (quote == std::string_view::npos)
            return std::nullopt;
        name += text.substr(0, quote);
        text.remove_prefix(quote + 1);
        if (!text.empty() && text.front() == '"') {
            name += '"';
            text.remove_prefix(1);
            continue;
        }
        break;
    }
    text = trim(text);
    if (!text.empty() && text.front() == ';')
        text = trim(text.substr(1));
    if (!text.empty() || name.empty())
        return std::nullopt;
    return name;
}

int parseCodePage(const std::string& text) {
    int number = 0;
    const std::string_view t = trim(text);
    const auto result = std::from_chars(t.data(), t.data() + t.size(), number);
    if (result.ec != std::errc() || result.ptr != t.data() + t.size() || number <= 0)
        throw Error("the connection string's CodePage=" + text + " is not a code page number");
    return number;
}

} // namespace

Recordset::Recordset(std::unique_ptr<TableFile> table) : table_(std::move(table)) {}
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

namespace {
TableFile& openTable(const std::unique_ptr<TableFile>& table) {
    if (!table)
        throw Error("the recordset is closed");
    return *table;
}
} // namespace

const std::vector<Field>& Recordset::fields() const {
    return openTable(table_).fields();
}
std::int64_t Recordset::recordCount() const {
    return openTable(table_).recordCount();
}
bool Recordset::eof() const {
    return openTable(table_).eof();
}
void Recordset::moveNext() {
    openTable(table_).moveNext();
}
Value Recordset::value(std::size_t i) {
    return openTable(table_).value(i);
}
void Recordset::close() {
    table_.reset();
}
const std::vector<std::string>& Recordset::warnings() const {
    return openTable(table_).warnings();
}

Connection Connection::open(const std::string& connectionString) {
    const auto folder = attributeOf(connectionString, "dbq");
    if (!folder || folder->empty())
        throw Error("the Paradox connection string names no folder (Dbq=): " + connectionString);
    std::error_code error;
    if (!std::filesystem::is_directory(*folder, error))
        throw Error(*folder + ": the Paradox folder does not exist or is not a folder");
    Connection connection(*folder);
    if (const auto codePage = attributeOf(connectionString, "codepage"))
        connection.codePage_ = parseCodePage(*codePage);
    return connection;
}

Recordset Connection::openRecordset(const std::string& statement) const {
    const auto table = tableOfStatement(statement);
    if (!table)
        throw Error("unsupported statement: " + statement +
                    " (the Paradox reader accepts only SELECT * FROM \"<table>\")");
    if (table->find('/') != std::string::npos || table->find('\0') != std::string::npos)
        throw Error("the table name \"" + *table + "\" contains a path separator");
    auto path = findFileIgnoringCase(folder_, *table + ".db");
    if (!path)
        throw Error((std::filesystem::path(folder_) / (*table + ".db")).string() +
                    ": no such table in the Paradox folder");
    TableOptions options;
    options.codePageOverride = codePage_;
    return Recordset(std::make_unique<TableFile>(*path, options));
}

} // namespace paradox
