#include "transfer/SendCheck.h"

#include "platform/paradox/CodePage.h"
#include "platform/paradox/Table.h"
#include "platform/userio/EventPump.h"
#include "sources/codepage/Locale.h"
#include "transfer/Statements.h"
#include "transfer/ValueText.h"

#include <array>
#include <optional>
#include <vector>

namespace transfer {

ValueRefused::ValueRefused(std::int64_t row, const QString& field, const QString& reason,
                           const QString& remedy)
    : std::runtime_error(reason.toStdString()), row(row), field(field), reason(reason),
      remedy(remedy) {}

namespace {

// What the text of one code page takes in a statement, and whether the
// database holds it, for each byte beyond ASCII.
struct TextMeasure {
    int codePage = 0;
    const paradox::CodePageTable* table = nullptr; // null: only ASCII can be decoded
    std::array<std::uint8_t, 128> utf8Bytes{};
    std::array<bool, 128> stored{};
};

TextMeasure measureOf(int codePage, const sources::Target& target) {
    TextMeasure measure{codePage, paradox::findCodePage(codePage)};
    if (!measure.table) {
        return measure;
    }
    std::string text;
    for (std::size_t b = 0; b < 128; ++b) {
        text.clear();
        paradox::appendCodePoint(text, measure.table->high[b]);
        measure.utf8Bytes[b] = static_cast<std::uint8_t>(text.size());
        measure.stored[b] = target.storesCharacter(measure.table->high[b]);
    }
    return measure;
}

// The bytes of a row's statement, and the value that takes the most of them.
struct RowBytes {
    std::int64_t total = 0;
    std::size_t largest = 0;
    std::int64_t largestBytes = -1;

    void add(std::size_t field, std::int64_t bytes) {
        total += bytes;
        if (bytes > largestBytes) {
            largestBytes = bytes;
            largest = field;
        }
    }
};

// A row read before the code page was chosen: what is known of its
// statement, and its text values that hold bytes beyond ASCII.
struct PendingRow {
    struct Text {
        std::size_t field;
        std::string bytes;
    };
    std::int64_t row;
    RowBytes bytes;
    std::vector<Text> texts;
};

class TableCheck {
public:
    TableCheck(const sources::Target& target, const QString& table,
               const codepage::TableFiles& files, std::int64_t& row)
        : target_(target), file_(openAsBytes(files)),
          sampler_(file_.headerCodePage(), file_.fields()),
          preference_(codepage::codePagePreferenceOf(files.dataFile.parent_path())), row_(row),
          frameBytes_(insertFrameBytes(table)), limit_(largestStatement(target)) {
        if (!sampler_.wantsMore()) {
            choose();
        }
    }

    CheckedTable run() {
        for (row_ = 1; !file_.eof(); file_.moveNext(), ++row_) {
            checkRow();
        }
        if (!measure_) {
            choose();
        }
        return {choice_};
    }

private:
    static paradox::TableFile openAsBytes(const codepage::TableFiles& files) {
        std::optional<std::string> memo;
        if (files.memoFile) {
            memo = files.memoFile->native();
        }
        return paradox::TableFile(files.dataFile.native(), memo, {.textAsBytes = true});
    }

    // The server counts a command byte with the statement and wants the sum
    // below its limit; 0 for no limit.
    static std::int64_t largestStatement(const sources::Target& target) {
        const std::int64_t limit = target.statementLimit();
        return limit > 0 ? limit - 2 : 0;
    }

    void checkRow() {
        PendingRow pending{row_, {frameBytes_}, {}};
        for (std::size_t i = 0; i < file_.fields().size(); ++i) {
            userio::letEventsThrough();
            const paradox::Value value = file_.value(i);
            const bool first = i == 0;
            if (value.kind != paradox::Value::Kind::Text) {
                pending.bytes.add(i, limit_ > 0 ? bytesOf(value, first) : 0);
                continue;
            }
            if (sampler_.takes(i) && sampler_.wantsMore()) {
                sampler_.add(i, value.text);
            }
            if (!measure_ && hasHighBytes(value.text)) {
                pending.texts.push_back({i, std::string(value.text)});
            } else {
                pending.bytes.add(i, bytesOfText(value.text, row_, i, first));
            }
        }
        if (pending.texts.empty()) {
            checkFits(pending.bytes, row_);
        } else {
            pending_.push_back(std::move(pending));
        }
        if (!measure_ && !sampler_.wantsMore()) {
            choose();
        }
    }

    // Chooses the code page and checks the rows that waited for it.
    void choose() {
        choice_ =
            codepage::chooseCodePage(sampler_.sample(), codepage::userLocaleName(), preference_);
        const int used =
            choice_.reason == codepage::Reason::Header ? file_.codePage() : choice_.codePage;
        measure_ = measureOf(used, target_);
        for (PendingRow& pending : pending_) {
            for (const PendingRow::Text& text : pending.texts) {
                pending.bytes.add(
                    text.field, bytesOfText(text.bytes, pending.row, text.field, text.field == 0));
            }
            checkFits(pending.bytes, pending.row);
        }
        pending_.clear();
    }

    std::int64_t bytesOf(const paradox::Value& value, bool first) {
        scratch_.clear();
        appendTextOf(scratch_, value);
        return insertedValueBytes(static_cast<std::int64_t>(scratch_.size()), 0, first);
    }

    // The bytes a text takes in its statement once decoded; refuses what
    // cannot arrive as it is.
    std::int64_t bytesOfText(std::string_view bytes, std::int64_t row, std::size_t field,
                             bool first) const {
        std::int64_t utf8 = 0;
        std::int64_t quotes = 0;
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                if (byte == 0) {
                    refuseNul(row, field);
                }
                quotes += byte == '\'';
                ++utf8;
                continue;
            }
            const std::size_t high = byte - 0x80;
            if (!measure_->table) {
                refuseUndecodable(row, field);
            }
            if (!measure_->stored[high]) {
                refuseCharacter(row, field, measure_->table->high[high]);
            }
            utf8 += measure_->utf8Bytes[high];
        }
        return insertedValueBytes(utf8, quotes, first);
    }

    void checkFits(const RowBytes& bytes, std::int64_t row) const {
        if (limit_ <= 0 || bytes.total <= limit_) {
            return;
        }
        throw ValueRefused(row, fieldName(bytes.largest),
                           QStringLiteral("makes its statement %1 bytes long, and the data source "
                                          "takes statements of at most %2 bytes")
                               .arg(bytes.total)
                               .arg(limit_),
                           target_.howToRaiseStatementLimit() +
                               QStringLiteral(" Then send the table again."));
    }

    // No driver passes a NUL character inside a statement: each cuts the
    // text there, so the value could never arrive whole.
    [[noreturn]] void refuseNul(std::int64_t row, std::size_t field) const {
        throw ValueRefused(row, fieldName(field),
                           QStringLiteral("holds a NUL character (code 0), which cannot be sent "
                                          "to the data source"),
                           QStringLiteral("Remove the character in Paradox and send the table "
                                          "again."));
    }

    [[noreturn]] void refuseUndecodable(std::int64_t row, std::size_t field) const {
        throw ValueRefused(row, fieldName(field),
                           QStringLiteral("uses characters of code page %1, which this program "
                                          "cannot decode")
                               .arg(measure_->codePage),
                           QStringLiteral("Save the table in Paradox with a Windows code page and "
                                          "send it again."));
    }

    [[noreturn]] void refuseCharacter(std::int64_t row, std::size_t field,
                                      char32_t character) const {
        throw ValueRefused(
            row, fieldName(field),
            QStringLiteral("holds the character \"%1\" (U+%2), which the database's character set "
                           "%3 does not have")
                .arg(QString::fromUcs4(&character, 1))
                .arg(QString::number(character, 16).toUpper().rightJustified(4, QLatin1Char('0')))
                .arg(target_.textCharset()),
            QStringLiteral("Send the table to a database whose character set is Unicode (UTF8 "
                           "on PostgreSQL, utf8mb4 on MariaDB and MySQL), or replace the "
                           "character in Paradox, and send the table again."));
    }

    // A field's name as the send will show it: decoded once the code page
    // is chosen, in the header's code page before.
    QString fieldName(std::size_t field) const {
        const std::string& bytes = file_.fields().at(field).name;
        std::string name;
        const paradox::CodePageTable* table =
            measure_ ? measure_->table : paradox::findCodePage(file_.codePage());
        if (!paradox::appendUtf8(name, bytes, table)) {
            return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
        }
        return QString::fromStdString(name);
    }

    const sources::Target& target_;
    paradox::TableFile file_;
    codepage::TextSampler sampler_;
    const codepage::Preference preference_;
    std::int64_t& row_;
    const std::int64_t frameBytes_;
    const std::int64_t limit_;
    codepage::Choice choice_;
    std::optional<TextMeasure> measure_; // once the code page is chosen
    std::vector<PendingRow> pending_;
    std::string scratch_;
};

} // namespace

CheckedTable checkTableSendable(const sources::Target& target, const QString& table,
                                const codepage::TableFiles& files, std::int64_t& row) {
    return TableCheck(target, table, files, row).run();
}

} // namespace transfer
