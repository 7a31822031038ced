#include "sources/AddFolder.h"

#include "platform/ui/EventPump.h"

#include <QFile>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace AddFolder {

namespace {

QString withTrailingSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

fs::path toPath(const QString& text) {
    return fs::path(QFile::encodeName(text).toStdString());
}

QString nameOf(const fs::directory_entry& entry) {
    return QFile::decodeName(QByteArray::fromStdString(entry.path().filename().native()));
}

// Calls visit for each entry of the folder, in enumeration order. A folder
// that cannot be opened has no entries; an error part way stops the listing.
template <typename Visit> void forEachEntry(const QString& folder, Visit visit) {
    std::error_code error;
    fs::directory_iterator it(toPath(folder), error);
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

bool identifyFolder(const QString& path, FolderId& id) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    id = {info.st_dev, info.st_ino};
    return true;
}

// The subfolders of one folder, each with a trailing "/". Only real folders
// (or links to them) count: device nodes, FIFOs and sockets, the nearest
// Linux has to "system" entries, are never folders and so never entered.
// Hidden folders are skipped, as are folders already seen.
QStringList listSubfolders(const QString& folder, std::set<FolderId>& seen) {
    QStringList subfolders;
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
        const QString path = folder + name;
        FolderId id;
        if (identifyFolder(path, id) && seen.insert(id).second) {
            subfolders.append(path + QLatin1Char('/'));
        }
    });
    return subfolders;
}

} // namespace

QStringList ListFiles(const QString& folder, const QString& pattern) {
    QStringList names;
    forEachEntry(withTrailingSlash(folder), [&](const fs::directory_entry& entry) {
        std::error_code error;
        if (!entry.is_regular_file(error)) {
            return;
        }
        const QString name = nameOf(entry);
        if (matchesWildcard(name, pattern)) {
            names.append(name);
        }
    });
    return names;
}

void CollectSubfolders(QStringList& queue, bool recurse) {
    std::set<FolderId> seen;
    for (const QString& path : std::as_const(queue)) {
        FolderId id;
        if (identifyFolder(path, id)) {
            seen.insert(id);
        }
    }
    QStringList level = queue;
    while (!level.isEmpty()) {
        QStringList next;
        for (const QString& folder : std::as_const(level)) {
            next.append(listSubfolders(folder, seen));
        }
        for (const QString& path : std::as_const(next)) {
            ui::letEventsThrough();
            queue.append(path);
        }
        if (!recurse) {
            break;
        }
        level = std::move(next);
    }
}

} // namespace AddFolder
