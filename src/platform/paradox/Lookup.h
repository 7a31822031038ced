#pragma once

// Finding table files in a folder regardless of letter case.

#include <optional>
#include <string>
#include <string_view>

namespace paradox {

// The path of `name` in `folder`: the exact spelling when it exists, else
// the first entry whose name equals it ignoring ASCII case (in name order, so
// the choice is stable). Nothing when there is none or the folder cannot be
// read.
std::optional<std::string> findFileIgnoringCase(const std::string& folder, const std::string& name);

// The text with ASCII letters in lower case; other bytes stay as they are.
std::string asciiLower(std::string_view text);

} // namespace paradox
