#include "sources/codepage/Locale.h"

#include <cstdlib>

namespace codepage {

namespace {

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

std::string languageOf(std::string_view localeName) {
    const std::size_t end = localeName.find_first_of("_.@");
    return std::string(localeName.substr(0, end));
}

std::string modifierOf(std::string_view localeName) {
    const std::size_t at = localeName.find('@');
    return at == std::string_view::npos ? std::string() : std::string(localeName.substr(at + 1));
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
    return WesternCodePage;
}

std::string userLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(variable); value && *value)
            return value;
    return "C";
}

} // namespace codepage
