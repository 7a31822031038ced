#pragma once

// The Windows code page a user's locale would have written text in.

#include <string>
#include <string_view>

namespace codepage {

// The Western code page, which the header of most tables names.
inline constexpr int WesternCodePage = 1252;

// The Windows ANSI code page of a locale name such as "ru_RU.UTF-8"; 1252 for
// every language outside the other Windows code pages, and for "C".
int ansiCodePageOf(std::string_view localeName);

// The locale the C library takes for characters: LC_ALL, else LC_CTYPE, else
// LANG; "C" when none is set.
std::string userLocaleName();

} // namespace codepage
