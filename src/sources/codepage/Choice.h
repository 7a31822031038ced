#pragma once

// The one place the program opens a Paradox table: it chooses the code page
// the table's text is decoded with. A header that names a code page other than
// the Western default holds. For a header naming 1252, the user's setting, the
// words of the text and the user's locale may show that the writer used
// another Windows code page.

#include "platform/paradox/Paradox.h"
#include "sources/codepage/Preference.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sources {

enum class CodePageReason {
    Header,   // as the header names it
    Locale,   // the user's locale's Windows code page
    Detected, // the charset detector's finding over the table's text
    Words,    // the only code page that makes words of one script of the text
    Setting,  // the user's setting (ORVANDEL_CODE_PAGE or the settings file)
};

struct CodePageChoice {
    int codePage = 0; // 0 when the header names none (the reader's default holds)
    CodePageReason reason = CodePageReason::Header;
    std::string explanation; // one sentence for people
    int headerCodePage = 0;  // as the header names it
};

// The bytes of a table's text before decoding, column by column: the field
// names first, then the values of each field that hold bytes beyond ASCII,
// one a line.
struct TextSample {
    int headerCodePage = 0; // by number, else by sort order; 0 for none
    std::vector<std::string> columns;
    std::size_t size = 0;      // bytes in columns
    std::size_t highBytes = 0; // bytes of 0x80 and above in columns
};

// The Windows ANSI code page of a locale name such as "ru_RU.UTF-8"; 1252 for
// every language outside the other Windows code pages, and for "C".
int ansiCodePageOf(std::string_view localeName);

// The locale the C library takes for characters: LC_ALL, else LC_CTYPE, else
// LANG; "C" when none is set.
std::string userLocaleName();

// The share (0 to 1) of the words and symbols holding bytes beyond ASCII whose
// decoding in codePage makes no sense: control characters, symbols inside
// words, words that mix scripts or letters no single language of the code page
// uses together. Against a rival code page only those that read differently in
// it count; 1252's ð, ý and þ, which Icelandic uses, make no sense only
// against Turkish 1254, and under a Turkish locale only where the text does
// not look Icelandic or Faroese.
double nonsenseShare(std::string_view bytes, int codePage, int rival = 0,
                     std::string_view localeName = "C");

// The Windows code page the charset detector names for the bytes, with the
// detector's own name of it; 0 when it names none the reader knows.
struct Detection {
    int codePage = 0;
    std::string charset;
};
Detection detectCodePage(std::string_view bytes);

// The files a table is read from.
struct TableFiles {
    // The memo file beside the data file, as the reader finds it.
    TableFiles(std::filesystem::path dataFile); // NOLINT: a data file alone names a table
    // The memo file as the caller found it; nothing: the table has none.
    TableFiles(std::filesystem::path dataFile, std::optional<std::filesystem::path> memoFile);

    std::filesystem::path dataFile;
    std::optional<std::filesystem::path> memoFile;
};

// Gathers the sample of a table's text from its values, read as bytes, row
// after row; whoever reads the table feeds it until it wants no more.
class TextSampler {
public:
    // The fields as read with their names as bytes.
    TextSampler(int headerCodePage, const std::vector<paradox::Field>& fields);

    // False once the sample is full (64 KiB beyond ASCII, or 4 MiB of text
    // seen), or when nothing in the table can change the choice (a header
    // naming another code page, no text field).
    bool wantsMore() const;
    // Whether values of the field go into the sample.
    bool takes(std::size_t field) const { return field < takes_.size() && takes_[field]; }
    // Adds a value of a field that takes() as its bytes.
    void add(std::size_t field, std::string_view bytes);

    const TextSample& sample() const { return sample_; }

private:
    TextSample sample_;
    std::vector<bool> takes_;
    bool anyText_ = false;
    std::size_t seen_ = 0; // bytes of values added
};

// Reads the sample of a table's text. Throws paradox::Error when the table
// cannot be opened.
TextSample readTextSample(const TableFiles& table);

// Chooses from the sample, the user's preference and the locale's code page
// (ansiCodePageOf).
CodePageChoice chooseCodePage(const TextSample& sample, std::string_view localeName,
                              const CodePagePreference& preference = {});

// The choice for a table under the user's locale, with the preference given,
// else the one for the table's folder (codePagePreferenceOf). Throws
// paradox::Error when the table cannot be opened, PreferenceError when the
// preference names a code page the reader does not know.
CodePageChoice codePageOfTable(const TableFiles& table);
CodePageChoice codePageOfTable(const TableFiles& table, const CodePagePreference& preference);

// Reader options that decode with the choice.
paradox::TableOptions tableOptionsOf(const CodePageChoice& choice);

// Opens a table for the program with its text in the chosen code page.
paradox::Recordset openParadoxTable(const TableFiles& table);
paradox::Recordset openParadoxTable(const TableFiles& table, const CodePagePreference& preference);

// "header", "locale", "detected", "words" or "setting".
const char* nameOf(CodePageReason reason);

// "code page 1251 (Cyrillic)".
std::string describeCodePage(int codePage);

// What a user should know of the choice: empty when the text is read in the
// code page the header names, else which one it was read in and why.
std::string noteOf(const CodePageChoice& choice);

} // namespace sources
