#pragma once

// Finding table and memo files in a folder regardless of letter case.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace paradox {

// The path of `name` in `folder`: the exact spelling when it exists, else
// the first entry whose name equals it ignoring ASCII case (in name order, so
// the choice is stable). Nothing when there is none or the folder cannot be
// read.
std::optional<std::string> findFileIgnoringCase(const std::string& folder, const std::string& name);

// "<stem>.MB" for a data file ending in upper case, else "<stem>.mb".
std::string memoNameOf(const std::filesystem::path& dataFile);

// The memo file of a data file: <stem>.MB beside a .DB (.mb beside a .db),
// else as findFileIgnoringCase finds it. Nothing when there is none.
std::optional<std::filesystem::path> findMemoFile(const std::filesystem::path& dataFile);

// The text with ASCII letters in lower case; other bytes stay as they are.
std::string asciiLower(std::string_view text);

} // namespace paradox
