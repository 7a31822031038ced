#include "files/FolderWalk.h"

#include "files/Files.h"
#include "platform/userio/EventPump.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace files {

namespace {

// The bare name of an entry, as the bytes of its path.
std::string_view nameOf(const fs::directory_entry& entry) {
    const std::string& path = entry.path().native();
    return std::string_view(path).substr(path.rfind('/') + 1);
}

// Calls visit for each entry of the folder, in enumeration order. A folder
// that cannot be opened has no entries; an error part way stops the listing.
template <typename Visit> void forEachEntry(const fs::path& folder, Visit visit) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    const fs::directory_iterator end;
    while (!error && it != end) {
        visit(*it);
        it.increment(error);
    }
}

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Greedy wildcard match with "*" (any run) and "?" (one element),
// backtracking to the last "*"; equal tells whether an element of the
// pattern and one of the text match.
template <typename Text, typename Equal>
bool matchesWildcard(const Text& text, const Text& wild, Equal equal) {
    using Size = decltype(text.size());
    Size t = 0;
    Size w = 0;
    bool star = false;
    Size starAt = 0;
    Size resumeAt = 0;
    while (t < text.size()) {
        if (w < wild.size() && (wild[w] == '?' || equal(wild[w], text[t]))) {
            ++t;
            ++w;
        } else if (w < wild.size() && wild[w] == '*') {
            star = true;
            starAt = w++;
            resumeAt = t;
        } else if (star) {
            w = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (w < wild.size() && wild[w] == '*') {
        ++w;
    }
    return w == wild.size();
}

} // namespace

Wildcard::Wildcard(const QString& pattern) : folded_(pattern.toCaseFolded()) {
    for (const QChar c : pattern) {
        if (c.unicode() >= 0x80) {
            asciiPattern_ = false;
            ascii_.clear();
            return;
        }
        ascii_ += foldAscii(static_cast<char>(c.unicode()));
    }
}

bool Wildcard::matches(std::string_view name) const {
    // Names in ASCII, nearly all of them, are matched on their bytes; only
    // the others are decoded and case-folded.
    if (asciiPattern_ && isAscii(name)) {
        return matchesWildcard(name, std::string_view(ascii_),
                               [](char w, char c) { return w == foldAscii(c); });
    }
    const QString text = decodeFileName(std::string(name)).toCaseFolded();
    return matchesWildcard(text, folded_, [](QChar w, QChar c) { return w == c; });
}

namespace {

// Identity of a folder on disk, so that a folder reached by two paths (a link
// back up the tree) is walked once.
using FolderId = std::pair<dev_t, ino_t>;

bool identifyFolder(const fs::path& path, FolderId& id) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    id = {info.st_dev, info.st_ino};
    return true;
}

// What one pass over a folder finds: its subfolders and, when a pattern is
// given, its files that match it. Only real folders (or links to them) count:
// device nodes, FIFOs and sockets, the nearest Linux has to "system"
// entries, are never folders and so never entered. Hidden folders are
// skipped, as are folders already seen.
struct FolderEntries {
    std::vector<fs::path> subfolders;
    std::vector<fs::path> files;
};

FolderEntries readFolder(const fs::path& folder, std::set<FolderId>& seen,
                         const Wildcard* pattern) {
    FolderEntries found;
    userio::letEventsThrough();
    forEachEntry(folder, [&](const fs::directory_entry& entry) {
        userio::letEventsThrough();
        const std::string_view name = nameOf(entry);
        std::error_code error;
        if (pattern && entry.is_regular_file(error)) {
            if (pattern->matches(name)) {
                found.files.emplace_back(name);
            }
            return;
        }
        if (name.starts_with('.')) { // ".", ".." and hidden folders
            return;
        }
        if (!entry.is_directory(error)) {
            return;
        }
        FolderId id;
        if (identifyFolder(entry.path(), id) && seen.insert(id).second) {
            found.subfolders.push_back(entry.path());
        }
    });
    return found;
}

std::set<FolderId> identifyAll(const std::vector<fs::path>& folders) {
    std::set<FolderId> seen;
    for (const fs::path& path : folders) {
        FolderId id;
        if (identifyFolder(path, id)) {
            seen.insert(id);
        }
    }
    return seen;
}

// Reads the folders of level, then level by level the folders below them,
// each folder once (seen holds those reached already); found gets what each
// folder holds, in walk order. Without deeper only the first level is read.
template <typename Found>
void readLevels(std::vector<fs::path> level, std::set<FolderId>& seen, const Wildcard* pattern,
                bool deeper, Found found) {
    while (!level.empty()) {
        std::vector<fs::path> next;
        for (const fs::path& folder : level) {
            FolderEntries entries = readFolder(folder, seen, pattern);
            found(entries);
            for (fs::path& subfolder : entries.subfolders) {
                next.push_back(std::move(subfolder));
            }
        }
        if (!deeper) {
            break;
        }
        level = std::move(next);
    }
}

} // namespace

std::vector<fs::path> listFiles(const fs::path& folder, const QString& pattern) {
    std::vector<fs::path> names;
    const Wildcard wild(pattern);
    forEachEntry(folder, [&](const fs::directory_entry& entry) {
        std::error_code error;
        if (entry.is_regular_file(error) && wild.matches(nameOf(entry))) {
            names.emplace_back(nameOf(entry));
        }
    });
    return names;
}

void collectSubfolders(std::vector<fs::path>& queue, bool recurse) {
    std::set<FolderId> seen = identifyAll(queue);
    readLevels(queue, seen, nullptr, recurse, [&queue](const FolderEntries& entries) {
        for (const fs::path& subfolder : entries.subfolders) {
            userio::letEventsThrough();
            queue.push_back(subfolder);
        }
    });
}

void listTreeFiles(const fs::path& root, const QString& pattern,
                   const std::function<void(const fs::path&)>& visit) {
    std::set<FolderId> seen = identifyAll({root});
    const Wildcard wild(pattern);
    readLevels({root}, seen, &wild, true, [&visit](const FolderEntries& entries) {
        for (const fs::path& file : entries.files) {
            visit(file);
        }
    });
}

std::optional<fs::path> findTableFolder(const fs::path& root, const QString& table) {
    std::vector<fs::path> queue{root};
    for (std::size_t i = 0; i < queue.size(); ++i) {
        if (findTableFile(queue[i], table)) {
            return queue[i];
        }
        if (i == 0) {
            collectSubfolders(queue, true);
        }
    }
    return std::nullopt;
}

} // namespace files
