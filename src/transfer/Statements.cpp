#include "transfer/Statements.h"

#include "transfer/ColumnTypeMapping.h"

#include <algorithm>

namespace transfer {

QString quotedName(const QString& name) {
    QString doubled = name;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

QString dropTableStatement(const QString& table) {
    return QStringLiteral("DROP TABLE ") + quotedName(table);
}

QString renameTableStatement(const QString& oldName, const QString& newName) {
    return QStringLiteral("ALTER TABLE %1 RENAME TO %2;")
        .arg(quotedName(oldName), quotedName(newName));
}

CreateTableText::CreateTableText(const QString& table, const sources::ColumnTypes& types)
    : text_(QStringLiteral("CREATE TABLE ") + quotedName(table) + QLatin1Char('(')), types_(types) {
}

void CreateTableText::addColumn(const QString& name, int adoType) {
    // The clause closes the quoted column name itself.
    text_ += quotedName(name).chopped(1) + columnClause(adoType, types_);
}

QString CreateTableText::finish() {
    if (text_.endsWith(QLatin1Char(','))) {
        text_.chop(1);
    }
    return text_ + QStringLiteral(");");
}

// As InsertText::addValue writes the value.
std::int64_t insertedValueBytes(std::int64_t utf8Bytes, std::int64_t quotes, bool first) {
    const std::int64_t separator = first ? 0 : 2;
    return separator + (utf8Bytes == 0 ? 4 : 2 + utf8Bytes + quotes);
}

namespace {

QString insertPrefix(const QString& table) {
    return QStringLiteral("INSERT INTO ") + quotedName(table) + QStringLiteral(" VALUES(");
}

} // namespace

// As InsertText writes it: the prefix and the closing parenthesis.
std::int64_t insertFrameBytes(const QString& table) {
    return insertPrefix(table).toUtf8().size() + 1;
}

InsertText::InsertText(const QString& table) : prefix_(insertPrefix(table)) {}

void InsertText::begin() {
    text_.resize(0); // keeps the buffer of the rows before
    text_.append(prefix_);
    first_ = true;
}

// The scan runs over whole words.
bool hasHighBytes(std::string_view bytes) {
    unsigned char high = 0;
    for (const char c : bytes) {
        high |= static_cast<unsigned char>(c);
    }
    return high >= 0x80;
}

namespace {

// ASCII without a single quote: nothing to decode or double.
bool isPlainAscii(std::string_view bytes) {
    return !hasHighBytes(bytes) && bytes.find('\'') == std::string_view::npos;
}

} // namespace

void InsertText::addValue(std::string_view value) {
    // Room for the separator and both quotes around plain ASCII, by far the
    // most common, which is widened straight into it; other text is decoded.
    const qsizetype at = text_.size();
    text_.resize(at + 4 + static_cast<qsizetype>(value.size()));
    char16_t* const start = reinterpret_cast<char16_t*>(text_.data());
    char16_t* out = start + at;
    if (!first_) {
        *out++ = u',';
        *out++ = u' ';
    }
    first_ = false;
    if (value.empty()) {
        text_.resize(out - start);
        text_.append(QLatin1String("NULL"));
        return;
    }
    *out++ = u'\'';
    if (isPlainAscii(value)) {
        out = std::copy(value.begin(), value.end(), out);
        *out++ = u'\'';
        text_.resize(out - start);
        return;
    }
    text_.resize(out - start);
    QString decoded = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    decoded.replace(QLatin1Char('\''), QLatin1String("''"));
    text_.append(decoded);
    text_.append(QLatin1Char('\''));
}

const QString& InsertText::finish() {
    text_.append(QLatin1Char(')'));
    return text_;
}

} // namespace transfer
