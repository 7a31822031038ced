#include "files/TableFamily.h"

#include "files/Files.h"
#include "files/MoveByCopy.h"

#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace fs = std::filesystem;

namespace files {

namespace {

struct NameParts {
    QString stem;      // before the last dot
    QString extension; // after it, in upper case
};

NameParts partsOf(const fs::path& file) {
    const QString name = decodeFileName(file.filename().native());
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0) {
        return {name, {}};
    }
    return {name.left(dot), name.mid(dot + 1).toUpper()};
}

bool isHexDigit(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// MB, PX, VAL, TV, FAM, and the index files Xnn, Ynn, XGn, YGn (n hexadecimal).
bool isCompanionExtension(const QString& extension) {
    static const QStringList named{QStringLiteral("MB"), QStringLiteral("PX"),
                                   QStringLiteral("VAL"), QStringLiteral("TV"),
                                   QStringLiteral("FAM")};
    if (named.contains(extension)) {
        return true;
    }
    if (extension.size() != 3 ||
        (extension[0] != QLatin1Char('X') && extension[0] != QLatin1Char('Y'))) {
        return false;
    }
    return (isHexDigit(extension[1]) || extension[1] == QLatin1Char('G')) &&
           isHexDigit(extension[2]);
}

bool isRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

QString systemErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString displayList(const std::vector<fs::path>& paths) {
    QStringList names;
    for (const fs::path& path : paths) {
        names << displayPath(path);
    }
    return names.join(QStringLiteral(", "));
}

// The text as a sentence of its own, ending in a full stop.
QString sentence(QString text) {
    if (!text.endsWith(QLatin1Char('.'))) {
        text += QLatin1Char('.');
    }
    return text;
}

QString sharedNote(const TableFamily& family) {
    if (family.shared.empty()) {
        return {};
    }
    const QString why = QStringLiteral(", because %1 more than one table of the folder (the "
                                       "same name in other letter case).");
    if (family.shared.size() == 1) {
        return displayPath(family.shared.front()) + QStringLiteral(" was left as it is") +
               why.arg(QStringLiteral("its name fits"));
    }
    return QStringLiteral("These files were left as they are: ") + displayList(family.shared) +
           why.arg(QStringLiteral("their names fit"));
}

fs::path renamedPath(const fs::path& file, const QString& newName) {
    return file.parent_path() / pathOf(newName + decodeFileName(file.extension().native()));
}

struct Move {
    fs::path from;
    fs::path to;
};

// One file of the family by the safe move: the copy, then the old file goes.
// When the old file cannot go, neither does the table: its copy is removed
// again. Empty when the file moved, else why not.
QString moveOne(const Move& move) {
    const MoveResult copy = CopyToNewFile(move.from, move.to);
    if (!copy.moved) {
        return sentence(copy.reason);
    }
    if (::unlink(move.from.c_str()) == 0) {
        return {};
    }
    const int error = errno;
    QString text = QStringLiteral("%1 could not be deleted (%2)")
                       .arg(displayPath(move.from), systemErrorText(error));
    std::error_code ignored;
    if (!fs::remove(move.to, ignored)) {
        text += QStringLiteral(", and its copy %1 could not be removed").arg(displayPath(move.to));
    }
    return text + QLatin1Char('.');
}

// Moves the first count files back to their old names; what could not be.
QStringList putBack(const std::vector<Move>& moves, std::size_t count) {
    QStringList stuck;
    for (std::size_t i = count; i-- > 0;) {
        const MoveResult back = MoveByCopy(moves[i].to, moves[i].from);
        if (!back.moved || !back.reason.isEmpty()) {
            stuck << sentence(back.reason);
        }
    }
    return stuck;
}

} // namespace

std::optional<fs::path> TableFamily::memoFile() const {
    const fs::path& data = dataFile();
    const std::string extension = data.extension().native();
    const bool upper = !extension.empty() && extension.back() >= 'A' && extension.back() <= 'Z';
    const fs::path spelt = data.parent_path() / (data.stem().native() + (upper ? ".MB" : ".mb"));
    std::optional<fs::path> first;
    for (std::size_t i = 1; i < files.size(); ++i) {
        if (partsOf(files[i]).extension != QLatin1String("MB")) {
            continue;
        }
        if (files[i] == spelt) {
            return files[i];
        }
        if (!first) {
            first = files[i];
        }
    }
    return first;
}

std::optional<TableFamily> FindTableFamily(const fs::path& folder, const QString& name) {
    const std::optional<fs::path> dataFile = FindTableFile(folder, name);
    if (!dataFile) {
        return std::nullopt;
    }
    const QString stem = partsOf(*dataFile).stem;
    const QString wanted = stem.toUpper();
    QStringList dataStems; // of every data file whose name fits but for letter case
    std::vector<fs::path> candidates;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const NameParts parts = partsOf(it->path());
        if (parts.stem.toUpper() != wanted || !isRegularFile(it->path())) {
            continue;
        }
        if (parts.extension == QLatin1String("DB")) {
            dataStems << parts.stem;
        } else if (isCompanionExtension(parts.extension)) {
            candidates.push_back(it->path());
        }
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
    TableFamily family{{*dataFile}, {}};
    for (const fs::path& candidate : candidates) {
        const QString candidateStem = partsOf(candidate).stem;
        // The exact spelling decides; letter case only when no data file has it.
        qsizetype owners = dataStems.count(candidateStem);
        if (owners == 0) {
            owners = dataStems.size();
        } else if (candidateStem != stem) {
            continue;
        }
        (owners == 1 ? family.files : family.shared).push_back(candidate);
    }
    return family;
}

FamilyChange RenameFamily(const TableFamily& family, const QString& table, const QString& newName) {
    const QString notRenamed = QStringLiteral("The table %1 was not renamed").arg(table);
    std::vector<Move> moves;
    for (const fs::path& file : family.files) {
        moves.push_back({file, renamedPath(file, newName)});
    }
    if (const QString reason = checkNewName(moves.front().from, moves.front().to);
        !reason.isEmpty()) {
        return {false, notRenamed + QStringLiteral(". ") + reason};
    }
    std::vector<fs::path> taken;
    for (const Move& move : moves) {
        if (isTaken(move.to)) {
            taken.push_back(move.to);
        }
    }
    if (!taken.empty()) {
        return {false, notRenamed +
                           (taken.size() == 1 ? QStringLiteral(", because %1 already exists.")
                                              : QStringLiteral(", because these files already "
                                                               "exist: %1."))
                               .arg(displayList(taken)) +
                           QStringLiteral(" Nothing was moved.")};
    }
    std::size_t moved = 0;
    QString failure;
    for (; moved < moves.size(); ++moved) {
        failure = moveOne(moves[moved]);
        if (!failure.isEmpty()) {
            break;
        }
    }
    if (failure.isEmpty()) {
        return {true, sharedNote(family)};
    }
    QString text = notRenamed + QStringLiteral(". ") + failure;
    const QStringList stuck = putBack(moves, moved);
    if (!stuck.isEmpty()) {
        text += QStringLiteral(" Moving the files back to the old name failed too, so the "
                               "table's files are under both names now: ") +
                stuck.join(QLatin1Char(' '));
    } else if (moved > 0) {
        text += QStringLiteral(" The files moved before it were moved back, so the table is as "
                               "it was.");
    }
    return {false, text};
}

FamilyChange DeleteFamily(const TableFamily& family, const QString& table) {
    if (::unlink(family.dataFile().c_str()) != 0) {
        return {false, QStringLiteral("The table %1 was not deleted, because its file %2 could "
                                      "not be removed: %3.")
                           .arg(table, displayPath(family.dataFile()), systemErrorText(errno))};
    }
    QStringList stuck;
    for (std::size_t i = 1; i < family.files.size(); ++i) {
        if (::unlink(family.files[i].c_str()) != 0) {
            stuck << QStringLiteral("%1 (%2)").arg(displayPath(family.files[i]),
                                                   systemErrorText(errno));
        }
    }
    QStringList notes;
    if (!stuck.isEmpty()) {
        notes << QStringLiteral("The table %1 was deleted, but %2 of its files could not be "
                                "removed: %3.")
                     .arg(table, stuck.size() == 1 ? QStringLiteral("one") : QStringLiteral("some"),
                          stuck.join(QStringLiteral(", ")));
    }
    if (!family.shared.empty()) {
        notes << sharedNote(family);
    }
    return {true, notes.join(QLatin1Char(' '))};
}

} // namespace files
