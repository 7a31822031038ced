#include "sources/codepage/Words.h"

#include "platform/paradox/CodePage.h"
#include "sources/codepage/Locale.h"

#include <QChar>
#include <QString>
#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <string_view>

namespace codepage {

namespace {

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

// Words and symbols of a text that hold bytes beyond ASCII, and how many of
// them make no sense.
struct Tally {
    std::size_t items = 0;
    std::size_t bad = 0;
};

// Read in 1252, Turkish ğ, ı and ş are the ð, ý and þ of Icelandic and
// Faroese. Weighed against Turkish, their letters count only where the text
// as a whole looks northern: a letter Turkish never uses (á é í ó ú æ ø), or
// none that only Turkish uses (ç ü â î û) and no more ý than ð (Turkish ı is
// far more common than ğ, Icelandic ð than ý). Under a Turkish locale the
// northern letters must be in a fifth of the words, or ð must outnumber ý
// and þ together.
bool looksNorthern(const std::vector<Decoded>& columns, const Weighing& weighing) {
    if (weighing.rival != 0 && weighing.rival != 1254)
        return true;
    std::size_t northernOnly = 0, turkishOnly = 0, eth = 0, yAcute = 0, thorn = 0;
    std::size_t words = 0, northernWords = 0;
    for (const Decoded& d : columns) {
        bool inWord = false, wordHigh = false, wordNorthern = false;
        for (std::size_t i = 0; i <= d.text.size(); ++i) {
            const char32_t c = i < d.text.size() ? d.text[i] : U' ';
            if (!isWordChar(c)) {
                words += inWord && wordHigh;
                northernWords += inWord && wordNorthern;
                inWord = wordHigh = wordNorthern = false;
                continue;
            }
            inWord = true;
            if (!d.high[i])
                continue;
            wordHigh = true;
            const bool northern = isIn(U"áéíóúæøÁÉÍÓÚÆØ", c);
            wordNorthern = wordNorthern || northern;
            northernOnly += northern;
            turkishOnly += isIn(U"çüâîûÇÜÂÎÛ", c);
            eth += isIn(U"ðÐ", c);
            yAcute += isIn(U"ýÝ", c);
            thorn += isIn(U"þÞ", c);
        }
    }
    if (weighing.turkishLocale)
        return northernWords * 5 >= words || (turkishOnly == 0 && eth > yAcute + thorn);
    return northernOnly > 0 || (turkishOnly == 0 && yAcute <= eth);
}

// The alphabets of the page's languages, with or without the northern ones;
// made once per page.
const std::vector<std::u32string>& alphabetsOf(const PageLanguages& page, bool northern) {
    static std::map<std::pair<int, bool>, std::vector<std::u32string>> made;
    static std::mutex guard;
    const std::lock_guard lock(guard);
    auto [it, added] = made.try_emplace({page.codePage, northern});
    if (added)
        for (std::size_t k = 0; k < page.count; ++k)
            if (northern || !page.alphabets[k].northern)
                it->second.push_back(toU32(page.alphabets[k].letters));
    return it->second;
}

bool isVowel(char32_t c) {
    return isIn(U"аеёиоуыэюяіїєўαεηιουωάέήίόύώϊϋΐΰ", QChar::toLower(c));
}

// Thai consonants, and the vowel and tone marks written above or below one.
bool isThaiConsonant(char32_t c) {
    return c >= 0x0E01 && c <= 0x0E2E;
}
bool isThaiMark(char32_t c) {
    return c == 0x0E31 || (c >= 0x0E34 && c <= 0x0E3A) || (c >= 0x0E47 && c <= 0x0E4E);
}

// Thai: a vowel written before its consonant stands before one, and a mark
// sits on a consonant (or on a vowel mark that does).
bool keepsThaiRules(std::u32string_view word) {
    for (std::size_t k = 0; k < word.size(); ++k) {
        const char32_t c = word[k];
        if (c >= 0x0E40 && c <= 0x0E44 && (k + 1 == word.size() || !isThaiConsonant(word[k + 1])))
            return false;
        if (isThaiMark(c) && (k == 0 || !(isThaiConsonant(word[k - 1]) ||
                                          (isThaiMark(word[k - 1]) && word[k - 1] < 0x0E47))))
            return false;
    }
    return true;
}

// Rules a word of one script beyond Latin keeps, where a wrong code page
// breaks them: Cyrillic and Greek words of two letters or more have a vowel
// (short capital abbreviations aside) and no capital after a small letter;
// ь, ъ and ы begin none; Greek ς ends a word and σ does not, and a word in
// small letters has one stress mark, none only with one syllable; the final
// forms of Hebrew letters and Arabic ة and ى end a word.
bool keepsScriptRules(std::u32string_view word, QChar::Script script) {
    const auto letters = static_cast<std::size_t>(
        std::count_if(word.begin(), word.end(), [](char32_t c) { return QChar::isLetter(c); }));
    if (script == QChar::Script_Thai)
        return keepsThaiRules(word);
    if (script == QChar::Script_Hebrew || script == QChar::Script_Arabic) {
        const std::u32string_view finals =
            script == QChar::Script_Hebrew ? U"ךםןףץ" : U"\u0629\u0649";
        for (std::size_t k = 0; k + 1 < word.size(); ++k)
            if (isIn(finals, word[k]) && QChar::isLetter(word[k + 1]))
                return false;
        return true;
    }
    if (script != QChar::Script_Cyrillic && script != QChar::Script_Greek)
        return true;
    bool lowerSeen = false, allUpper = true, vowel = false, previousVowel = false;
    std::size_t stresses = 0, syllables = 0;
    for (std::size_t k = 0; k < word.size(); ++k) {
        const char32_t c = word[k];
        if (QChar::isUpper(c) && lowerSeen)
            return false;
        lowerSeen = lowerSeen || QChar::isLower(c);
        allUpper = allUpper && !QChar::isLower(c);
        const bool isV = isVowel(c);
        vowel = vowel || isV;
        syllables += isV && !previousVowel;
        previousVowel = isV;
        stresses += isIn(U"άέήίόύώΐΰ", QChar::toLower(c));
        const bool last = k + 1 == word.size();
        if ((c == U'ς' && !last) || (c == U'σ' && last && letters > 1))
            return false;
    }
    if (isIn(U"ьъыЬЪЫ", word.front()) && letters > 1)
        return false;
    if (!vowel && letters > 1 && !(allUpper && letters <= 4))
        return false;
    if (script == QChar::Script_Greek && !allUpper && syllables >= 2 && stresses == 0)
        return false;
    return stresses <= 1;
}

// Judges the words and symbols of one column decoded in a code page.
class ColumnJudge {
public:
    ColumnJudge(const Decoded& decoded, std::string_view bytes, const PageLanguages& page,
                const std::vector<std::u32string>& alphabets, const paradox::CodePageTable& table,
                const paradox::CodePageTable* rival)
        : d_(decoded), bytes_(bytes), page_(page), alphabets_(alphabets), table_(table),
          rival_(rival) {}

    Tally tally() const {
        Tally t;
        for (std::size_t i = 0; i < d_.text.size();) {
            if (!isWordChar(d_.text[i])) {
                if (d_.high[i] && isBadSymbol(i) && differs(i, i + 1)) {
                    ++t.items;
                    ++t.bad;
                }
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < d_.text.size() && isWordChar(d_.text[end]))
                ++end;
            if (const Verdict verdict = judgeWord(i, end);
                verdict != Verdict::Neutral && differs(i, end)) {
                ++t.items;
                t.bad += verdict == Verdict::Nonsense;
            }
            i = end;
        }
        return t;
    }

private:
    enum class Verdict { Neutral, Fits, Nonsense };

    // Whether the bytes read otherwise in the rival (always without one).
    bool differs(std::size_t begin, std::size_t end) const {
        for (std::size_t k = begin; k < end; ++k) {
            const auto byte = static_cast<unsigned char>(bytes_[k]);
            if (byte >= 0x80 && (!rival_ || table_.high[byte - 0x80] != rival_->high[byte - 0x80]))
                return true;
        }
        return false;
    }

    bool wordCharAt(std::size_t i) const { return i < d_.text.size() && isWordChar(d_.text[i]); }

    bool isBadSymbol(std::size_t i) const {
        const char32_t c = d_.text[i];
        if (c >= 0x80 && c <= 0x9F)
            return true;
        if (QChar::isSpace(c) || QChar::isDigit(c))
            return false;
        const bool before = i > 0 && wordCharAt(i - 1);
        const bool after = wordCharAt(i + 1);
        return (before && after && !isIn(joiners, c)) ||
               (before && !after && !isIn(afterLetter, c)) ||
               (after && !before && !isIn(beforeLetter, c));
    }

    Verdict judgeWord(std::size_t begin, std::size_t end) const {
        std::set<char32_t> beyondAscii;
        std::size_t ascii = 0, letters = 0;
        bool latinBeyondAscii = false, otherScript = false, allUpper = true;
        QChar::Script script = QChar::Script_Unknown;
        bool oneScript = true;
        for (std::size_t k = begin; k < end; ++k) {
            const char32_t c = d_.text[k];
            if (QChar::isLetter(c)) {
                ++letters;
                allUpper = allUpper && QChar::isUpper(c);
            }
            if (isAsciiLetter(c)) {
                ++ascii;
            } else if (d_.high[k] && QChar::isLetter(c)) {
                // Turkish İ is the dotted capital of an ASCII i.
                if (c != U'\u0130')
                    beyondAscii.insert(QChar::toLower(c));
                const QChar::Script own = QChar::script(c);
                if (own == QChar::Script_Latin) {
                    latinBeyondAscii = true;
                } else {
                    otherScript = true;
                    oneScript = oneScript && (script == QChar::Script_Unknown || script == own);
                    script = own;
                }
            }
        }
        // A word does not begin with a combining mark.
        if (d_.high[begin] && QChar::isMark(d_.text[begin]))
            return Verdict::Nonsense;
        if (beyondAscii.empty() && !otherScript)
            return Verdict::Neutral;
        // Short capital codes (ÉÉ, ÀÜ) tell nothing.
        if (letters <= 2 && allUpper)
            return Verdict::Neutral;
        if (page_.script == Script::Other || otherScript) {
            // One script a word; Latin letters beyond ASCII only where the
            // code page has them for a language of its own.
            const bool fits = !(otherScript && (ascii > 0 || latinBeyondAscii)) &&
                              !(latinBeyondAscii && !page_.latinLetters) && oneScript &&
                              (!otherScript || keepsScriptRules(word(begin, end), script));
            return fits ? Verdict::Fits : Verdict::Nonsense;
        }
        // A word of a Latin language has a letter of ASCII beside its others.
        if (ascii == 0 && letters >= 2)
            return Verdict::Nonsense;
        if (!page_.alphabets)
            return Verdict::Fits;
        const bool fits =
            std::any_of(alphabets_.begin(), alphabets_.end(), [&](const std::u32string& a) {
                return std::all_of(beyondAscii.begin(), beyondAscii.end(),
                                   [&](char32_t c) { return isIn(a, c); });
            });
        return fits ? Verdict::Fits : Verdict::Nonsense;
    }

    std::u32string_view word(std::size_t begin, std::size_t end) const {
        return std::u32string_view(d_.text).substr(begin, end - begin);
    }

    const Decoded& d_;
    std::string_view bytes_;
    const PageLanguages& page_;
    const std::vector<std::u32string>& alphabets_;
    const paradox::CodePageTable& table_;
    const paradox::CodePageTable* rival_;
};

// A column weighs by its words up to this many, so that one column (of
// scrambled bytes, say) cannot outweigh a real word of another.
constexpr double columnWeightCap = 3;

} // namespace

// The nonsense of the columns decoded in a code page.
Evidence weighWords(const std::vector<std::string>& columns, int codePage,
                    const Weighing& weighing) {
    const paradox::CodePageTable* table = paradox::findCodePage(codePage);
    if (!table)
        return {1.0, 1};
    const paradox::CodePageTable* rival =
        weighing.rival ? paradox::findCodePage(weighing.rival) : nullptr;
    std::vector<Decoded> decoded;
    decoded.reserve(columns.size());
    for (const std::string& column : columns)
        decoded.push_back(decode(column, *table));
    const PageLanguages page = languagesOf(codePage);
    const std::vector<std::u32string>& alphabets =
        alphabetsOf(page, !page.alphabets || looksNorthern(decoded, weighing));
    double weighed = 0, weights = 0;
    Evidence evidence;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const Tally t = ColumnJudge(decoded[c], columns[c], page, alphabets, *table, rival).tally();
        if (t.items == 0)
            continue;
        const double weight = std::min(static_cast<double>(t.items), columnWeightCap);
        weighed += weight * static_cast<double>(t.bad) / static_cast<double>(t.items);
        weights += weight;
        evidence.items += t.items;
    }
    evidence.share = weights > 0 ? weighed / weights : 0.0;
    return evidence;
}

double nonsenseShare(std::string_view bytes, int codePage, int rival, std::string_view localeName) {
    return weighWords({std::string(bytes)}, codePage, {rival, ansiCodePageOf(localeName) == 1254})
        .share;
}

} // namespace codepage
