#include "sources/codepage/Choice.h"

#include "platform/paradox/CodePage.h"
#include "platform/paradox/Lookup.h"
#include "platform/paradox/Table.h"
#include "sources/codepage/Words.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <uchardet/uchardet.h>
#include <vector>

namespace sources {

namespace {

constexpr int western = 1252;
// The detector is trusted only over this many bytes beyond ASCII: on runs of
// words with fewer it named a wrong code page for up to 1 in 10 (3 in 1,000
// at 10 to 15 bytes), with more for none (bench-code-page).
constexpr std::size_t evidenceBytes = 16;
// 1252 makes no sense when this share of the text beyond ASCII is nonsense
// there; another code page fits when its share stays below fitShare.
constexpr double nonsenseLimit = 0.25;
constexpr double fitShare = 0.10;
// Enough text for the detector; the scan stops here.
constexpr std::size_t sampleLimit = 64 * 1024;
// The scan stops too after this much text of any kind, so that whoever feeds
// the sampler holds a bounded amount of a table before the choice.
constexpr std::size_t seenLimit = 4 * 1024 * 1024;

// --- locale -----------------------------------------------------------------

struct LanguagePage {
    const char* language;
    int codePage;
};

// Windows ANSI code pages by language (ISO 639 code), as Windows assigns them.
constexpr LanguagePage languagePages[] = {
    {"pl", 1250},  {"cs", 1250},  {"sk", 1250}, {"hu", 1250},  {"sl", 1250},  {"hr", 1250},
    {"bs", 1250},  {"ro", 1250},  {"sq", 1250}, {"hsb", 1250}, {"dsb", 1250}, {"tk", 1250},
    {"ru", 1251},  {"uk", 1251},  {"be", 1251}, {"bg", 1251},  {"mk", 1251},  {"sr", 1251},
    {"kk", 1251},  {"ky", 1251},  {"mn", 1251}, {"tt", 1251},  {"ba", 1251},  {"tg", 1251},
    {"sah", 1251}, {"cv", 1251},  {"el", 1253}, {"tr", 1254},  {"az", 1254},  {"uz", 1254},
    {"he", 1255},  {"iw", 1255},  {"yi", 1255}, {"ar", 1256},  {"fa", 1256},  {"ur", 1256},
    {"ps", 1256},  {"ckb", 1256}, {"ug", 1256}, {"sd", 1256},  {"lt", 1257},  {"lv", 1257},
    {"et", 1257},  {"vi", 1258},  {"th", 874},
};

// --- detector ---------------------------------------------------------------

struct CharsetPage {
    const char* charset; // as uchardet names it
    int codePage;
};

// Charsets whose letters sit where the Windows code page has them.
constexpr CharsetPage charsetPages[] = {
    {"WINDOWS-1252", 1252}, {"ISO-8859-1", 1252},   {"ISO-8859-15", 1252},  {"WINDOWS-1250", 1250},
    {"ISO-8859-2", 1250},   {"WINDOWS-1251", 1251}, {"WINDOWS-1253", 1253}, {"ISO-8859-7", 1253},
    {"WINDOWS-1254", 1254}, {"ISO-8859-9", 1254},   {"WINDOWS-1255", 1255}, {"ISO-8859-8", 1255},
    {"WINDOWS-1256", 1256}, {"WINDOWS-1257", 1257}, {"ISO-8859-13", 1257},  {"WINDOWS-1258", 1258},
    {"TIS-620", 874},       {"WINDOWS-874", 874},   {"ISO-8859-11", 874},
};

struct DetectorDeleter {
    void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

// Upper case of ASCII letters only, whatever the locale (a Turkish one has
// its own capital of i).
std::string asciiUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string languageOf(std::string_view localeName) {
    const std::size_t end = localeName.find_first_of("_.@");
    return std::string(localeName.substr(0, end));
}

std::string modifierOf(std::string_view localeName) {
    const std::size_t at = localeName.find('@');
    return at == std::string_view::npos ? std::string() : std::string(localeName.substr(at + 1));
}

bool isTextField(paradox::FieldType type) {
    return type == paradox::FieldType::Alpha || type == paradox::FieldType::Memo ||
           type == paradox::FieldType::FormattedMemo;
}

// Adds a text holding bytes beyond ASCII to a column, as much of it as the
// sample takes.
void addToSample(TextSample& sample, std::size_t column, std::string_view bytes) {
    bytes = bytes.substr(0, sampleLimit - std::min(sampleLimit, sample.size));
    const auto high = static_cast<std::size_t>(std::count_if(
        bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
    if (high == 0)
        return;
    std::string& text = sample.columns.at(column);
    text.append(bytes);
    text += '\n';
    sample.size += bytes.size() + 1;
    sample.highBytes += high;
}

std::string pageText(int codePage) {
    return "code page " + std::to_string(codePage);
}

std::string listOf(const std::vector<int>& codePages) {
    std::string list;
    for (std::size_t i = 0; i < codePages.size(); ++i)
        list += (i == 0                      ? ""
                 : i + 1 == codePages.size() ? " and "
                                             : ", ") +
                std::to_string(codePages[i]);
    return list;
}

// The code pages weighed against 1252.
constexpr int rivals[] = {1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 874};

// Whether the text makes words of one script in the code page, and none in
// 1252 when weighed against it.
bool fits(const TextSample& sample, int codePage, bool turkishLocale) {
    const Evidence western = weighWords(sample.columns, 1252, {codePage, turkishLocale});
    if (western.items == 0 || western.share < nonsenseLimit)
        return false;
    return weighWords(sample.columns, codePage, {1252, turkishLocale}).share < fitShare;
}

std::string joined(const std::vector<std::string>& columns) {
    std::string text;
    for (const std::string& column : columns)
        text += column;
    return text;
}

const char* scriptOf(int codePage) {
    struct Named {
        int codePage;
        const char* name;
    };
    static constexpr Named names[] = {
        {874, "Thai"},
        {1250, "Central European"},
        {1251, "Cyrillic"},
        {1252, "Western"},
        {1253, "Greek"},
        {1254, "Turkish"},
        {1255, "Hebrew"},
        {1256, "Arabic"},
        {1257, "Baltic"},
        {1258, "Vietnamese"},
        {437, "DOS US"},
        {850, "DOS Western"},
        {852, "DOS Central European"},
        {866, "DOS Cyrillic"},
    };
    for (const Named& entry : names)
        if (entry.codePage == codePage)
            return entry.name;
    return nullptr;
}

// The sample of a table; only the field names when the values cannot change
// the choice.
TextSample sampleOf(const TableFiles& files, bool values) {
    std::optional<std::string> memo;
    if (files.memoFile)
        memo = files.memoFile->native();
    paradox::TableFile table(files.dataFile.native(), memo, {.textAsBytes = true});
    TextSampler sampler(table.headerCodePage(), table.fields());
    // A value the reader refuses ends the sample; the send's check meets it
    // again and names it.
    try {
        for (; values && !table.eof() && sampler.wantsMore(); table.moveNext())
            for (std::size_t i = 0; i < table.fields().size(); ++i)
                if (sampler.takes(i) && sampler.wantsMore())
                    if (const paradox::Value value = table.value(i); !value.isNull())
                        sampler.add(i, value.text);
    } catch (const paradox::Error&) {
    }
    return sampler.sample();
}

} // namespace

int ansiCodePageOf(std::string_view localeName) {
    const std::string language = languageOf(localeName);
    const std::string modifier = modifierOf(localeName);
    // Serbian is written in Cyrillic unless the locale says Latin; Uzbek,
    // Azeri and Bosnian in Latin unless it says Cyrillic.
    if (language == "sr" && modifier == "latin")
        return 1250;
    if ((language == "uz" || language == "az" || language == "bs") && modifier == "cyrillic")
        return 1251;
    for (const LanguagePage& entry : languagePages)
        if (language == entry.language)
            return entry.codePage;
    return western;
}

std::string userLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(variable); value && *value)
            return value;
    return "C";
}

double nonsenseShare(std::string_view bytes, int codePage, int rival, std::string_view localeName) {
    return weighWords({std::string(bytes)}, codePage, {rival, ansiCodePageOf(localeName) == 1254})
        .share;
}

Detection detectCodePage(std::string_view bytes) {
    const std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
    if (!detector || uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0)
        return {};
    uchardet_data_end(detector.get());
    Detection found;
    found.charset = uchardet_get_charset(detector.get());
    const std::string name = asciiUpper(found.charset);
    for (const CharsetPage& entry : charsetPages)
        if (name == entry.charset)
            found.codePage = entry.codePage;
    return found;
}

TableFiles::TableFiles(std::filesystem::path dataFile)
    : dataFile(std::move(dataFile)), memoFile(paradox::findMemoFile(this->dataFile)) {}

TableFiles::TableFiles(std::filesystem::path dataFile,
                       std::optional<std::filesystem::path> memoFile)
    : dataFile(std::move(dataFile)), memoFile(std::move(memoFile)) {}

TextSampler::TextSampler(int headerCodePage, const std::vector<paradox::Field>& fields) {
    sample_.headerCodePage = headerCodePage;
    if (headerCodePage != western)
        return;
    sample_.columns.resize(fields.size() + 1);
    takes_.resize(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        addToSample(sample_, 0, fields[i].name);
        takes_[i] = isTextField(fields[i].type);
        anyText_ = anyText_ || takes_[i];
    }
}

bool TextSampler::wantsMore() const {
    return anyText_ && sample_.size < sampleLimit && seen_ < seenLimit;
}

void TextSampler::add(std::size_t field, std::string_view bytes) {
    if (!takes(field))
        return;
    seen_ += bytes.size();
    addToSample(sample_, field + 1, bytes);
}

TextSample readTextSample(const TableFiles& table) {
    return sampleOf(table, true);
}

CodePageChoice chooseCodePage(const TextSample& sample, std::string_view localeName,
                              const CodePagePreference& preference) {
    const int header = sample.headerCodePage;
    CodePageChoice choice{header, CodePageReason::Header, {}, header};
    if (header != western) {
        choice.explanation =
            header ? "the header names it" : "the header names none; the default holds";
        return choice;
    }
    if (preference.codePage)
        return {preference.codePage, CodePageReason::Setting,
                preference.origin + " names it for tables whose header names 1252", header};
    if (sample.highBytes == 0) {
        choice.explanation = "the header names it; the text is plain ASCII";
        return choice;
    }
    const int localePage = ansiCodePageOf(localeName);
    std::vector<int> fitting;
    for (const int page : rivals)
        if (fits(sample, page, localePage == 1254))
            fitting.push_back(page);
    const auto isFitting = [&](int page) {
        return std::find(fitting.begin(), fitting.end(), page) != fitting.end();
    };
    const std::string noSense = "; in code page 1252 its words make no sense";
    if (sample.highBytes >= evidenceBytes) {
        const Detection found = detectCodePage(joined(sample.columns));
        if (isFitting(found.codePage))
            return {found.codePage, CodePageReason::Detected,
                    "uchardet names " + found.charset + " for the text (" +
                        std::to_string(sample.highBytes) + " bytes beyond ASCII)" + noSense,
                    header};
    }
    if (isFitting(localePage))
        return {localePage, CodePageReason::Locale,
                "the locale " + std::string(localeName) + " uses " + pageText(localePage) +
                    " and the text reads as words there" + noSense,
                header};
    if (fitting.size() == 1)
        return {fitting.front(), CodePageReason::Words,
                "of the Windows code pages only " + pageText(fitting.front()) +
                    " makes words of one script of the text" + noSense,
                header};
    choice.explanation = fitting.empty()
                             ? "the header names it; no other code page makes better words of "
                               "the text"
                             : "the header names it; the text reads as words in code pages " +
                                   listOf(fitting) + " alike, and the locale names none of them";
    return choice;
}

CodePageChoice codePageOfTable(const TableFiles& table) {
    return codePageOfTable(table, codePagePreferenceOf(table.dataFile.parent_path()));
}

CodePageChoice codePageOfTable(const TableFiles& table, const CodePagePreference& preference) {
    return chooseCodePage(sampleOf(table, preference.codePage == 0), userLocaleName(), preference);
}

paradox::TableOptions tableOptionsOf(const CodePageChoice& choice) {
    paradox::TableOptions options;
    if (choice.reason != CodePageReason::Header)
        options.codePageOverride = choice.codePage;
    return options;
}

paradox::Recordset openParadoxTable(const TableFiles& table) {
    return paradox::openTable(table.dataFile, table.memoFile,
                              tableOptionsOf(codePageOfTable(table)));
}

paradox::Recordset openParadoxTable(const TableFiles& table, const CodePagePreference& preference) {
    return paradox::openTable(table.dataFile, table.memoFile,
                              tableOptionsOf(codePageOfTable(table, preference)));
}

const char* nameOf(CodePageReason reason) {
    switch (reason) {
    case CodePageReason::Header:
        return "header";
    case CodePageReason::Locale:
        return "locale";
    case CodePageReason::Detected:
        return "detected";
    case CodePageReason::Words:
        return "words";
    case CodePageReason::Setting:
        return "setting";
    }
    return "header";
}

std::string describeCodePage(int codePage) {
    const char* script = scriptOf(codePage);
    return pageText(codePage) + (script ? std::string(" (") + script + ")" : std::string());
}

std::string noteOf(const CodePageChoice& choice) {
    if (choice.reason == CodePageReason::Header)
        return {};
    std::string note = "Text read in " + describeCodePage(choice.codePage) + "; the header names " +
                       std::to_string(choice.headerCodePage) + ".\nWhy: " + choice.explanation +
                       ".";
    if (choice.reason != CodePageReason::Setting)
        note += "\nTo read it otherwise, name the code page in ORVANDEL_CODE_PAGE or in the "
                "settings file.";
    return note;
}

} // namespace sources
