#pragma once

// How much of a table's text makes no sense, word by word, when decoded in a
// code page: the evidence the code page choice weighs.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace codepage {

// How a code page is weighed: against which rival (0 for any), and whether
// the user's locale is Turkish.
struct Weighing {
    int rival = 0;
    bool turkishLocale = false;
};

// The words and symbols that hold bytes beyond ASCII, and the share of them
// that make no sense.
struct Evidence {
    double share = 0;      // nonsense, each column weighing by its items up to a cap
    std::size_t items = 0; // words and symbols that count
};

// The nonsense of a table's columns (their bytes, one value a line) decoded
// in a code page: control characters, symbols inside words, words that mix
// scripts, break their script's rules or have letters no single language of
// the code page uses together. Against a rival only the words and symbols
// that read otherwise in it count. Each column weighs by its words up to a
// cap, so that one column cannot outweigh the others.
Evidence weighWords(const std::vector<std::string>& columns, int codePage,
                    const Weighing& weighing);

// The share (0 to 1) of the words and symbols holding bytes beyond ASCII whose
// decoding in codePage makes no sense: control characters, symbols inside
// words, words that mix scripts or letters no single language of the code page
// uses together. Against a rival code page only those that read differently in
// it count; 1252's ð, ý and þ, which Icelandic uses, make no sense only
// against Turkish 1254, and under a Turkish locale only where the text does
// not look Icelandic or Faroese.
double nonsenseShare(std::string_view bytes, int codePage, int rival = 0,
                     std::string_view localeName = "C");

} // namespace codepage
