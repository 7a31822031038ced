#pragma once

// The one place the program opens a Paradox table: it chooses the code page
// the table's text is decoded with. A header that names a code page other than
// the Western default holds. For a header naming 1252, the user's setting, the
// words of the text and the user's locale may show that the writer used
// another Windows code page.

#include "platform/paradox/Paradox.h"
#include "sources/codepage/Preference.h"
#include "sources/codepage/Sampler.h"

#include <string>
#include <string_view>

namespace codepage {

enum class Reason {
    Header,   // as the header names it
    Locale,   // the user's locale's Windows code page
    Detected, // the charset detector's finding over the table's text
    Words,    // the only code page that makes words of one script of the text
    Setting,  // the user's setting (ORVANDEL_CODE_PAGE or the settings file)
};

struct Choice {
    int codePage = 0; // 0 when the header names none (the reader's default holds)
    Reason reason = Reason::Header;
    std::string explanation; // one sentence for people
    int headerCodePage = 0;  // as the header names it
};

// Chooses from the sample, the user's preference and the locale's code page
// (ansiCodePageOf).
Choice chooseCodePage(const TextSample& sample, std::string_view localeName,
                      const Preference& preference = {});

// The choice for a table under the user's locale, with the preference given,
// else the one for the table's folder (codePagePreferenceOf). Throws
// paradox::Error when the table cannot be opened, PreferenceError when the
// preference names a code page the reader does not know.
Choice codePageOfTable(const TableFiles& table);
Choice codePageOfTable(const TableFiles& table, const Preference& preference);

// Reader options that decode with the choice.
paradox::TableOptions tableOptionsOf(const Choice& choice);

// Opens a table for the program with its text in the chosen code page.
paradox::Recordset openParadoxTable(const TableFiles& table);

// "header", "locale", "detected", "words" or "setting".
const char* nameOf(Reason reason);

// "code page 1251 (Cyrillic)".
std::string describeCodePage(int codePage);

// What a user should know of the choice: empty when the text is read in the
// code page the header names, else which one it was read in and why.
std::string noteOf(const Choice& choice);

} // namespace codepage
