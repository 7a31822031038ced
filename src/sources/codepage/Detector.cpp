#include "sources/codepage/Detector.h"

#include <memory>
#include <uchardet/uchardet.h>

namespace codepage {

namespace {

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

} // namespace

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

} // namespace codepage
