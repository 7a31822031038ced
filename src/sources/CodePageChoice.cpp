#include "sources/CodePageChoice.h"

#include "platform/paradox/CodePage.h"
#include "platform/paradox/Lookup.h"
#include "platform/paradox/Table.h"

#include <QChar>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
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

// --- letters ----------------------------------------------------------------

// The letters beyond ASCII of the languages written in a Latin code page.
struct Alphabet {
    const char* letters; // lower case, UTF-8
    bool northern;       // Icelandic or Faroese: only with their own letters about
};

const Alphabet westernAlphabets[] = {
    {"àâæçéèêëîïôœùûüÿ", false}, // French
    {"äöüßé", false},            // German
    {"áéíóúñü", false},          // Spanish, Galician, Basque
    {"áâãàçéêíóôõúü", false},    // Portuguese
    {"àèéìíîòóùú", false},       // Italian
    {"àçèéíïòóúü", false},       // Catalan
    {"áéèëïóöüêâôíú", false},    // Dutch, Afrikaans
    {"æøåéèóôàü", false},        // Danish, Norwegian
    {"åäöéü", false},            // Swedish, Finnish
    {"äöåšž", false},            // Finnish
    {"õäöüšž", false},           // Estonian
    {"çë", false},               // Albanian
    {"äëéöü", false},            // Luxembourgish
    {"áéíóúýþæöð", true},        // Icelandic
    {"áíóúýæøð", true},          // Faroese
};
const Alphabet centralAlphabets[] = {
    {"ąćęłńóśźż", false},         // Polish
    {"áčďéěíňóřšťúůýž", false},   // Czech
    {"áäčďéíĺľňóôŕšťúýž", false}, // Slovak
    {"áéíóöőúüű", false},         // Hungarian
    {"čćđšž", false},             // Slovene, Croatian, Bosnian
    {"ăâîșşțţ", false},           // Romanian
    {"çë", false},                // Albanian
    {"äöüßé", false},             // German
};
const Alphabet turkishAlphabets[] = {
    {"çğıöşüâîû", false}, // Turkish
    {"çêîşû", false},     // Kurdish
};
const Alphabet balticAlphabets[] = {
    {"ąčęėįšųūž", false},   // Lithuanian
    {"āčēģīķļņšūž", false}, // Latvian
    {"õäöüšž", false},      // Estonian
    {"ąćęłńóśźż", false},   // Polish
    {"äöüßé", false},       // German
    {"åäöæøé", false},      // Nordic
};

std::u32string toU32(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU32String();
}

bool isWordChar(char32_t c) {
    // The ordinal indicators and the modifier circumflex are symbols here.
    if (c == U'\u00AA' || c == U'\u00BA' || c == U'\u02C6')
        return false;
    return QChar::isLetter(c) || QChar::isMark(c);
}

bool isAsciiLetter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

// Symbols that may touch a letter: after it, before it, or between two.
// Among them the Arabic comma, semicolon and question mark, and the Hebrew
// maqaf, geresh and gershayim.
constexpr std::u32string_view afterLetter =
    U"’”»…™®©ºª°²³‰†‡›´·–—\u200C\u200D\u200E\u200F\u060C\u061B\u061F\u05BE\u05F3\u05F4";
constexpr std::u32string_view beforeLetter = U"¿¡«‹“‘„‚’·–—§©®°\u200C\u200D\u200E\u200F";
constexpr std::u32string_view joiners = U"’´·–—\u200C\u200D\u05BE\u05F3\u05F4";

bool isIn(std::u32string_view set, char32_t c) {
    return set.find(c) != std::u32string_view::npos;
}

enum class Script { Latin, Other };

struct PageLanguages {
    int codePage;
    Script script;
    const Alphabet* alphabets; // null: any Latin letters fit
    std::size_t count;
    bool latinLetters; // Latin letters beyond ASCII belong to the code page's languages
};

template <std::size_t N> PageLanguages latin(int codePage, const Alphabet (&alphabets)[N]) {
    return {codePage, Script::Latin, alphabets, N, true};
}

PageLanguages languagesOf(int codePage) {
    switch (codePage) {
    case 1252:
        return latin(1252, westernAlphabets);
    case 1250:
        return latin(1250, centralAlphabets);
    case 1254:
        return latin(1254, turkishAlphabets);
    case 1257:
        return latin(1257, balticAlphabets);
    case 1258:
        return {1258, Script::Latin, nullptr, 0, true};
    case 1256: // French letters for North Africa
        return {1256, Script::Other, nullptr, 0, true};
    default:
        return {codePage, Script::Other, nullptr, 0, false};
    }
}

// Decoded text with, for each character, whether its byte was beyond ASCII.
struct Decoded {
    std::u32string text;
    std::vector<bool> high;
};

Decoded decode(std::string_view bytes, const paradox::CodePageTable& table) {
    Decoded out;
    out.text.reserve(bytes.size());
    out.high.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.text += byte < 0x80 ? char32_t{byte} : char32_t{table.high[byte - 0x80]};
        out.high.push_back(byte >= 0x80);
    }
    return out;
}

class NonsenseCounter {
public:
    NonsenseCounter(const Decoded& decoded, const PageLanguages& page, bool againstTurkish)
        : d_(decoded), page_(page), flagged_(decoded.text.size(), false) {
        if (page_.alphabets)
            chooseAlphabets(againstTurkish);
    }

    double share() {
        flagControlsAndSymbols();
        flagWords();
        std::size_t high = 0, bad = 0;
        for (std::size_t i = 0; i < d_.text.size(); ++i) {
            high += d_.high[i];
            bad += d_.high[i] && flagged_[i];
        }
        return high ? static_cast<double>(bad) / static_cast<double>(high) : 0.0;
    }

private:
    // Read in 1252, Turkish ğ, ı and ş are the ð, ý and þ of Icelandic and
    // Faroese. Weighed against Turkish, their letters count only where the
    // text looks northern: a letter Turkish never uses (á é í ó ú æ ø), or
    // none that only Turkish uses (ç ü â î û) and no more ý than ð (Turkish
    // ı is far more common than ğ, Icelandic ð than ý).
    void chooseAlphabets(bool againstTurkish) {
        std::size_t northernOnly = 0, turkishOnly = 0, eth = 0, yAcute = 0;
        for (std::size_t i = 0; i < d_.text.size(); ++i) {
            if (!d_.high[i])
                continue;
            const char32_t c = d_.text[i];
            northernOnly += isIn(U"áéíóúæøÁÉÍÓÚÆØ", c);
            turkishOnly += isIn(U"çüâîûÇÜÂÎÛ", c);
            eth += isIn(U"ðÐ", c);
            yAcute += isIn(U"ýÝ", c);
        }
        const bool northern =
            !againstTurkish || northernOnly > 0 || (turkishOnly == 0 && yAcute <= eth);
        for (std::size_t k = 0; k < page_.count; ++k)
            if (northern || !page_.alphabets[k].northern)
                alphabets_.push_back(toU32(page_.alphabets[k].letters));
    }

    bool wordCharAt(std::size_t i) const { return i < d_.text.size() && isWordChar(d_.text[i]); }

    void flagControlsAndSymbols() {
        for (std::size_t i = 0; i < d_.text.size(); ++i) {
            if (!d_.high[i])
                continue;
            const char32_t c = d_.text[i];
            if (c >= 0x80 && c <= 0x9F) {
                flagged_[i] = true;
                continue;
            }
            if (isWordChar(c) || QChar::isSpace(c) || QChar::isDigit(c))
                continue;
            const bool before = i > 0 && wordCharAt(i - 1);
            const bool after = wordCharAt(i + 1);
            flagged_[i] = (before && after && !isIn(joiners, c)) ||
                          (before && !after && !isIn(afterLetter, c)) ||
                          (after && !before && !isIn(beforeLetter, c));
        }
    }

    void flagWords() {
        for (std::size_t i = 0; i < d_.text.size();) {
            if (!isWordChar(d_.text[i])) {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < d_.text.size() && isWordChar(d_.text[end]))
                ++end;
            if (!wordFits(i, end))
                for (std::size_t k = i; k < end; ++k)
                    flagged_[k] = flagged_[k] || d_.high[k];
            i = end;
        }
    }

    bool wordFits(std::size_t begin, std::size_t end) const {
        std::set<char32_t> beyondAscii;
        std::size_t ascii = 0;
        bool latinBeyondAscii = false, otherScript = false;
        for (std::size_t k = begin; k < end; ++k) {
            const char32_t c = d_.text[k];
            if (isAsciiLetter(c)) {
                ++ascii;
            } else if (d_.high[k] && QChar::isLetter(c)) {
                // Turkish İ is the dotted capital of an ASCII i.
                if (c != U'\u0130')
                    beyondAscii.insert(QChar::toLower(c));
                if (QChar::script(c) == QChar::Script_Latin)
                    latinBeyondAscii = true;
                else
                    otherScript = true;
            }
        }
        if (beyondAscii.empty())
            return true;
        if (page_.script == Script::Other || otherScript)
            // One script a word; Latin letters beyond ASCII only where the
            // code page has them for a language of its own.
            return !(otherScript && (ascii > 0 || latinBeyondAscii)) &&
                   !(latinBeyondAscii && !page_.latinLetters);
        // A word of a Latin language has a letter of ASCII beside its others.
        if (ascii == 0 && end - begin >= 2)
            return false;
        if (!page_.alphabets)
            return true;
        return std::any_of(alphabets_.begin(), alphabets_.end(), [&](const std::u32string& a) {
            return std::all_of(beyondAscii.begin(), beyondAscii.end(),
                               [&](char32_t c) { return isIn(a, c); });
        });
    }

    const Decoded& d_;
    const PageLanguages& page_;
    std::vector<bool> flagged_;
    std::vector<std::u32string> alphabets_;
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

// Adds a text holding bytes beyond ASCII, as much of it as the sample takes.
void addToSample(TextSample& sample, std::string_view bytes) {
    bytes = bytes.substr(0, sampleLimit - std::min(sampleLimit, sample.bytes.size()));
    const auto high = static_cast<std::size_t>(std::count_if(
        bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
    if (high == 0)
        return;
    sample.bytes.append(bytes);
    sample.bytes += '\n';
    sample.highBytes += high;
}

std::string pageText(int codePage) {
    return "code page " + std::to_string(codePage);
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

double nonsenseShare(std::string_view bytes, int codePage, int rival) {
    const paradox::CodePageTable* table = paradox::findCodePage(codePage);
    if (!table)
        return 1.0;
    const Decoded decoded = decode(bytes, *table);
    const PageLanguages page = languagesOf(codePage);
    return NonsenseCounter(decoded, page, rival == 0 || rival == 1254).share();
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
    takes_.resize(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        addToSample(sample_, fields[i].name);
        takes_[i] = isTextField(fields[i].type);
        anyText_ = anyText_ || takes_[i];
    }
}

bool TextSampler::wantsMore() const {
    return anyText_ && sample_.bytes.size() < sampleLimit;
}

void TextSampler::add(std::size_t, std::string_view bytes) {
    addToSample(sample_, bytes);
}

TextSample readTextSample(const TableFiles& files) {
    std::optional<std::string> memo;
    if (files.memoFile) {
        memo = files.memoFile->native();
    }
    paradox::TableFile table(files.dataFile.native(), memo, {.textAsBytes = true});
    TextSampler sampler(table.headerCodePage(), table.fields());
    // A value the reader refuses ends the sample; the send's check meets it
    // again and names it.
    try {
        for (; !table.eof() && sampler.wantsMore(); table.moveNext())
            for (std::size_t i = 0; i < table.fields().size(); ++i)
                if (sampler.takes(i) && sampler.wantsMore())
                    if (const paradox::Value value = table.value(i); !value.isNull())
                        sampler.add(i, value.text);
    } catch (const paradox::Error&) {
    }
    return sampler.sample();
}

CodePageChoice chooseCodePage(const TextSample& sample, std::string_view localeName) {
    CodePageChoice choice{sample.headerCodePage, CodePageReason::Header, {}};
    if (sample.headerCodePage != western) {
        choice.explanation = sample.headerCodePage ? "the header names it"
                                                   : "the header names none; the default holds";
        return choice;
    }
    if (sample.highBytes == 0) {
        choice.explanation = "the header names it; the text is plain ASCII";
        return choice;
    }
    const double westernNonsense = nonsenseShare(sample.bytes, western);
    if (westernNonsense < nonsenseLimit) {
        choice.explanation = "the header names it and the text reads sensibly in it";
        return choice;
    }
    // The other code page must make sense of the text, and 1252 none of it
    // when weighed against that one.
    const auto fits = [&](int codePage) {
        return codePage != western && paradox::findCodePage(codePage) &&
               nonsenseShare(sample.bytes, codePage) < fitShare &&
               nonsenseShare(sample.bytes, western, codePage) >= nonsenseLimit;
    };
    const std::string noSense = "; the text makes no sense in code page 1252";
    if (sample.highBytes >= evidenceBytes) {
        const Detection found = detectCodePage(sample.bytes);
        if (fits(found.codePage))
            return {found.codePage, CodePageReason::Detected,
                    "uchardet names " + found.charset + " for the text (" +
                        std::to_string(sample.highBytes) + " bytes beyond ASCII)" + noSense};
    }
    const int localePage = ansiCodePageOf(localeName);
    if (fits(localePage))
        return {localePage, CodePageReason::Locale,
                "the locale " + std::string(localeName) + " uses " + pageText(localePage) +
                    noSense};
    choice.explanation = "the header names it; no other code page fits the text better";
    return choice;
}

CodePageChoice codePageOfTable(const TableFiles& table) {
    return chooseCodePage(readTextSample(table), userLocaleName());
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

const char* nameOf(CodePageReason reason) {
    switch (reason) {
    case CodePageReason::Header:
        return "header";
    case CodePageReason::Locale:
        return "locale";
    case CodePageReason::Detected:
        return "detected";
    }
    return "header";
}

} // namespace sources
