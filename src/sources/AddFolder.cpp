#include "sources/AddFolder.h"

#include "files/Files.h"
#include "platform/ui/EventPump.h"

#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace AddFolder {

namespace {

QString nameOf(const fs::directory_entry& entry) {
    return Main::decodeFileName(entry.path().filename().native());
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

// Wildcard match with "*" (any run) and "?" (one character), letter case
// ignored: wild is the pattern already case-folded. Greedy with backtracking
// to the last "*".
bool matchesWildcard(const QString& name, const QString& wild) {
    const QString text = name.toCaseFolded();
    qsizetype t = 0;
    qsizetype w = 0;
    qsizetype starAt = -1;
    qsizetype resumeAt = 0;
    while (t < text.size()) {
        if (w < wild.size() && (wild[w] == QLatin1Char('?') || wild[w] == text[t])) {
            ++t;
            ++w;
        } else if (w < wild.size() && wild[w] == QLatin1Char('*')) {
            starAt = w++;
            resumeAt = t;
        } else if (starAt >= 0) {
            w = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (w < wild.size() && wild[w] == QLatin1Char('*')) {
        ++w;
    }
    return w == wild.size();
}

bool isHidden(const QString& name) {
    return name.startsWith(QLatin1Char('.'));
}

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

FolderEntries readFolder(const fs::path& folder, std::set<FolderId>& seen, const QString* pattern) {
    FolderEntries found;
    ui::letEventsThrough();
    forEachEntry(folder, [&](const fs::directory_entry& entry) {
        ui::letEventsThrough();
        const QString name = nameOf(entry);
        std::error_code error;
        if (pattern && entry.is_regular_file(error)) {
            if (matchesWildcard(name, *pattern)) {
                found.files.push_back(entry.path().filename());
            }
            return;
        }
        if (name == QLatin1String(".") || name == QLatin1String("..") || isHidden(name)) {
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
void readLevels(std::vector<fs::path> level, std::set<FolderId>& seen, const QString* pattern,
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

std::vector<fs::path> ListFiles(const fs::path& folder, const QString& pattern) {
    std::vector<fs::path> names;
    const QString wild = pattern.toCaseFolded();
    forEachEntry(folder, [&](const fs::directory_entry& entry) {
        std::error_code error;
        if (entry.is_regular_file(error) && matchesWildcard(nameOf(entry), wild)) {
            names.push_back(entry.path().filename());
        }
    });
    return names;
}

void CollectSubfolders(std::vector<fs::path>& queue, bool recurse) {
    std::set<FolderId> seen = identifyAll(queue);
    readLevels(queue, seen, nullptr, recurse, [&queue](const FolderEntries& entries) {
        for (const fs::path& subfolder : entries.subfolders) {
            ui::letEventsThrough();
            queue.push_back(subfolder);
        }
    });
}

void ListTreeFiles(const fs::path& root, const QString& pattern,
                   const std::function<void(const fs::path&)>& visit) {
    std::set<FolderId> seen = identifyAll({root});
    const QString wild = pattern.toCaseFolded();
    readLevels({root}, seen, &wild, true, [&visit](const FolderEntries& entries) {
        for (const fs::path& file : entries.files) {
            visit(file);
        }
    });
}

} // namespace AddFolder
