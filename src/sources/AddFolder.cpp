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
// ignored. Greedy with backtracking to the last "*".
bool matchesWildcard(const QString& name, const QString& pattern) {
    const QString text = name.toCaseFolded();
    const QString wild = pattern.toCaseFolded();
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

// The subfolders of one folder. Only real folders
// (or links to them) count: device nodes, FIFOs and sockets, the nearest
// Linux has to "system" entries, are never folders and so never entered.
// Hidden folders are skipped, as are folders already seen.
std::vector<fs::path> listSubfolders(const fs::path& folder, std::set<FolderId>& seen) {
    std::vector<fs::path> subfolders;
    ui::letEventsThrough();
    forEachEntry(folder, [&](const fs::directory_entry& entry) {
        ui::letEventsThrough();
        const QString name = nameOf(entry);
        if (name == QLatin1String(".") || name == QLatin1String("..") || isHidden(name)) {
            return;
        }
        std::error_code error;
        if (!entry.is_directory(error)) {
            return;
        }
        FolderId id;
        if (identifyFolder(entry.path(), id) && seen.insert(id).second) {
            subfolders.push_back(entry.path());
        }
    });
    return subfolders;
}

} // namespace

std::vector<fs::path> ListFiles(const fs::path& folder, const QString& pattern) {
    std::vector<fs::path> names;
    forEachEntry(folder, [&](const fs::directory_entry& entry) {
        std::error_code error;
        if (entry.is_regular_file(error) && matchesWildcard(nameOf(entry), pattern)) {
            names.push_back(entry.path().filename());
        }
    });
    return names;
}

void CollectSubfolders(std::vector<fs::path>& queue, bool recurse) {
    std::set<FolderId> seen;
    for (const fs::path& path : queue) {
        FolderId id;
        if (identifyFolder(path, id)) {
            seen.insert(id);
        }
    }
    std::vector<fs::path> level = queue;
    while (!level.empty()) {
        std::vector<fs::path> next;
        for (const fs::path& folder : level) {
            for (fs::path& subfolder : listSubfolders(folder, seen)) {
                next.push_back(std::move(subfolder));
            }
        }
        for (const fs::path& path : next) {
            ui::letEventsThrough();
            queue.push_back(path);
        }
        if (!recurse) {
            break;
        }
        level = std::move(next);
    }
}

} // namespace AddFolder
