#include "sources/codepage/Choice.h"

#include "platform/paradox/Lookup.h"
#include "sources/codepage/Detector.h"
#include "sources/codepage/Locale.h"
#include "sources/codepage/Words.h"

#include <algorithm>
#include <vector>

namespace codepage {

namespace {

// The detector is trusted only over this many bytes beyond ASCII: on runs of
// words with fewer it named a wrong code page for up to 1 in 10 (3 in 1,000
// at 10 to 15 bytes), with more for none (bench-code-page).
constexpr std::size_t evidenceBytes = 16;
// 1252 makes no sense when this share of the text beyond ASCII is nonsense
// there; another code page fits when its share stays below fitShare.
constexpr double nonsenseLimit = 0.25;
constexpr double fitShare = 0.10;
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
    const Evidence western = weighWords(sample.columns, WesternCodePage, {codePage, turkishLocale});
    if (western.items == 0 || western.share < nonsenseLimit)
        return false;
    return weighWords(sample.columns, codePage, {WesternCodePage, turkishLocale}).share < fitShare;
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

} // namespace

Choice chooseCodePage(const TextSample& sample, std::string_view localeName,
                      const Preference& preference) {
    const int header = sample.headerCodePage;
    Choice choice{header, Reason::Header, {}, header};
    if (header != WesternCodePage) {
        choice.explanation =
            header ? "the header names it" : "the header names none; the default holds";
        return choice;
    }
    if (preference.codePage)
        return {preference.codePage, Reason::Setting,
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
            return {found.codePage, Reason::Detected,
                    "uchardet names " + found.charset + " for the text (" +
                        std::to_string(sample.highBytes) + " bytes beyond ASCII)" + noSense,
                    header};
    }
    if (isFitting(localePage))
        return {localePage, Reason::Locale,
                "the locale " + std::string(localeName) + " uses " + pageText(localePage) +
                    " and the text reads as words there" + noSense,
                header};
    if (fitting.size() == 1)
        return {fitting.front(), Reason::Words,
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

Choice codePageOfTable(const TableFiles& table) {
    return codePageOfTable(table, codePagePreferenceOf(table.dataFile.parent_path()));
}

Choice codePageOfTable(const TableFiles& table, const Preference& preference) {
    return chooseCodePage(readTextSample(table, preference.codePage == 0), userLocaleName(),
                          preference);
}

paradox::TableOptions tableOptionsOf(const Choice& choice) {
    paradox::TableOptions options;
    if (choice.reason != Reason::Header)
        options.codePageOverride = choice.codePage;
    return options;
}

paradox::Recordset openParadoxTable(const TableFiles& table) {
    return paradox::openTable(table.dataFile, table.memoFile,
                              tableOptionsOf(codePageOfTable(table)));
}

const char* nameOf(Reason reason) {
    switch (reason) {
    case Reason::Header:
        return "header";
    case Reason::Locale:
        return "locale";
    case Reason::Detected:
        return "detected";
    case Reason::Words:
        return "words";
    case Reason::Setting:
        return "setting";
    }
    return "header";
}

std::string describeCodePage(int codePage) {
    const char* script = scriptOf(codePage);
    return pageText(codePage) + (script ? std::string(" (") + script + ")" : std::string());
}

std::string noteOf(const Choice& choice) {
    if (choice.reason == Reason::Header)
        return {};
    std::string note = "Text read in " + describeCodePage(choice.codePage) + "; the header names " +
                       std::to_string(choice.headerCodePage) + ".\nWhy: " + choice.explanation +
                       ".";
    if (choice.reason != Reason::Setting)
        note += "\nTo read it otherwise, name the code page in ORVANDEL_CODE_PAGE or in the "
                "settings file.";
    return note;
}

} // namespace codepage
