#include "platform/paradox/Lookup.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace paradox {

namespace {

// Lower case of ASCII letters only, whatever the locale: under a Latin-1
// locale the C library would fold bytes beyond ASCII too.
char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

} // namespace

std::optional<std::string> findFileIgnoringCase(const std::string& folder,
                                                const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path exact = fs::path(folder) / name;
    if (fs::is_regular_file(exact, error))
        return exact.string();
    std::vector<std::string> matches;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (equalIgnoringCase(entry, name) && fs::is_regular_file(it->path(), error))
            matches.push_back(it->path().string());
    }
    if (matches.empty())
        return std::nullopt;
    return *std::min_element(matches.begin(), matches.end());
}

// The memo name the data file's extension calls for: .MB for .DB, .mb for .db.
std::string memoNameOf(const std::filesystem::path& dataFile) {
    const std::string ext = dataFile.extension().string();
    const bool upper = !ext.empty() && ext.back() >= 'A' && ext.back() <= 'Z';
    return dataFile.stem().string() + (upper ? ".MB" : ".mb");
}

std::optional<std::filesystem::path> findMemoFile(const std::filesystem::path& dataFile) {
    const std::string folder = dataFile.has_parent_path() ? dataFile.parent_path().string() : ".";
    if (auto found = findFileIgnoringCase(folder, memoNameOf(dataFile)))
        return std::filesystem::path(*found);
    return std::nullopt;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

} // namespace paradox
