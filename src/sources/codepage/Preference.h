#pragma once

// What the user says of the code page of tables whose header names the
// Western default: nothing (the program chooses), or the code page their text
// was written in. The environment variable ORVANDEL_CODE_PAGE beats the
// settings file, where each Paradox folder may have its own.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace codepage {

struct Preference {
    int codePage = 0;   // 0: the program chooses ("auto")
    std::string origin; // where the user said it, for messages
};

// A preference that names no code page the reader knows.
class PreferenceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr auto CodePageVariable = "ORVANDEL_CODE_PAGE";

// 0 for "auto" (in any letter case), else the number when the reader knows
// the code page; nothing for anything else.
std::optional<int> parseCodePage(std::string_view text);

// The preference for the tables of a folder: ORVANDEL_CODE_PAGE when it is
// set and not empty, else the settings file's entry for the folder or the
// nearest folder above it, else auto. Throws PreferenceError when the value
// found is neither auto nor a code page the reader knows.
Preference codePagePreferenceOf(const std::filesystem::path& folder);

} // namespace codepage
