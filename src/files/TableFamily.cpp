#include "files/TableFamily.h"

#include "files/Files.h"
#include "files/MoveByCopy.h"
#include "files/MoveFile.h"
#include "platform/paradox/Lookup.h"

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

bool isDecimalDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// F or R alone, or followed by a number from 1 to 14: the standard and
// numbered forms and reports of Paradox for DOS.
bool isFormOrReport(const QString& extension) {
    if (extension.isEmpty() ||
        (extension[0] != QLatin1Char('F') && extension[0] != QLatin1Char('R'))) {
        return false;
    }
    if (extension.size() == 1) {
        return true;
    }
    const QStringView number = QStringView(extension).mid(1);
    if (number.size() > 2 || number[0] == QLatin1Char('0') ||
        !std::all_of(number.begin(), number.end(), isDecimalDigit)) {
        return false;
    }
    return number.toInt() <= 14;
}

// MB, PX, VAL, TV, FAM, SET, the index files Xnn, Ynn, XGn, YGn (n
// hexadecimal), and the forms and reports.
bool isCompanionExtension(const QString& extension) {
    static const QStringList named{QStringLiteral("MB"),  QStringLiteral("PX"),
                                   QStringLiteral("VAL"), QStringLiteral("TV"),
                                   QStringLiteral("FAM"), QStringLiteral("SET")};
    if (named.contains(extension) || isFormOrReport(extension)) {
        return true;
    }
    if (extension.size() != 3 ||
        (extension[0] != QLatin1Char('X') && extension[0] != QLatin1Char('Y'))) {
        return false;
    }
    return (isHexDigit(extension[1]) || extension[1] == QLatin1Char('G')) &&
           isHexDigit(extension[2]);
}

bool isFamilyExtension(const QString& extension) {
    return extension == QLatin1String("DB") || isCompanionExtension(extension);
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
    MoveWay way = MoveWay::Rename; // how it moved, once it has
};

// The companions first and the data file last, so that a rename cut short
// still lists the table under its old name.
std::vector<Move> movesOf(const TableFamily& family, const QString& newName) {
    std::vector<Move> moves;
    for (std::size_t i = 1; i <= family.files.size(); ++i) {
        const fs::path& file = family.files[i % family.files.size()];
        moves.push_back({file, renamedPath(file, newName)});
    }
    return moves;
}

struct TakenNames {
    std::vector<fs::path> paths;
    QString unreadable; // why the folder could not be read; empty when it could
};

// Every entry of the folder, of any kind, that would belong to a table named
// newName: its name is newName with a family extension, compared as the
// lookup compares names (so in any letter case); and the moves' own targets.
TakenNames takenNames(const fs::path& folder, const QString& newName,
                      const std::vector<Move>& moves) {
    TakenNames taken;
    const QString wanted = newName.toUpper();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const NameParts parts = partsOf(it->path());
        if (parts.stem.toUpper() == wanted && isFamilyExtension(parts.extension)) {
            taken.paths.push_back(it->path());
        }
    }
    if (error) {
        taken.unreadable = systemErrorText(error.value());
    }
    for (const Move& move : moves) {
        if (isTaken(move.to) &&
            std::find(taken.paths.begin(), taken.paths.end(), move.to) == taken.paths.end()) {
            taken.paths.push_back(move.to);
        }
    }
    std::sort(taken.paths.begin(), taken.paths.end(),
              [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
    return taken;
}

// Why the rename may not start; empty when nothing is in the way.
QString refusalOf(const TakenNames& taken, const QString& newName) {
    if (!taken.unreadable.isEmpty()) {
        return QStringLiteral(", because the folder could not be read to look for files of the "
                              "new name: %1.")
            .arg(taken.unreadable);
    }
    if (taken.paths.empty()) {
        return {};
    }
    QString text = taken.paths.size() == 1
                       ? QStringLiteral(", because %1 already exists.")
                       : QStringLiteral(", because these files already exist: %1.");
    text = text.arg(displayList(taken.paths));
    const bool otherCase =
        std::any_of(taken.paths.begin(), taken.paths.end(),
                    [&](const fs::path& path) { return partsOf(path).stem != newName; });
    if (otherCase) {
        text += QStringLiteral(" Names that differ only in letter case are one name to Paradox "
                               "and to Windows shares.");
    }
    return text + QStringLiteral(" Nothing was moved.");
}

// Moves the first count files back to their old names, each the way it
// came; what could not be.
QStringList putBack(const std::vector<Move>& moves, std::size_t count) {
    QStringList stuck;
    for (std::size_t i = count; i-- > 0;) {
        const FileMove back = moveFile(moves[i].to, moves[i].from, moves[i].way);
        if (!back.moved) {
            stuck << sentence(back.reason);
        }
    }
    return stuck;
}

QString copiedNote(const std::vector<Move>& moves, const QString& table) {
    const bool copied = std::any_of(moves.begin(), moves.end(),
                                    [](const Move& move) { return move.way == MoveWay::Copy; });
    if (!copied) {
        return {};
    }
    return QStringLiteral("The file system of the folder renames no file without the risk of "
                          "replacing another, so the files of the table %1 had to be copied to "
                          "the new name and the old files deleted. The copies keep their mode "
                          "and times, but may have another owner or group, and have lost any "
                          "access lists and extended attributes.")
        .arg(table);
}

} // namespace

std::optional<fs::path> TableFamily::memoFile() const {
    const fs::path spelt = dataFile().parent_path() / paradox::memoNameOf(dataFile());
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

std::optional<TableFamily> findTableFamily(const fs::path& folder, const QString& name) {
    const std::optional<fs::path> dataFile = findTableFile(folder, name);
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

FamilyChange renameTableFamily(const TableFamily& family, const QString& table,
                               const QString& newName, MoveWay first) {
    const QString notRenamed = QStringLiteral("The table %1 was not renamed").arg(table);
    std::vector<Move> moves = movesOf(family, newName);
    if (const QString reason =
            checkNewName(family.dataFile(), renamedPath(family.dataFile(), newName));
        !reason.isEmpty()) {
        return {false, notRenamed + QStringLiteral(". ") + reason};
    }
    const QString refusal =
        refusalOf(takenNames(family.dataFile().parent_path(), newName, moves), newName);
    if (!refusal.isEmpty()) {
        return {false, notRenamed + refusal};
    }
    std::size_t moved = 0;
    QString failure;
    for (; moved < moves.size(); ++moved) {
        const FileMove move = moveFile(moves[moved].from, moves[moved].to, first);
        if (!move.moved) {
            failure = sentence(move.reason);
            break;
        }
        moves[moved].way = move.way;
    }
    if (failure.isEmpty()) {
        QStringList notes{copiedNote(moves, table), sharedNote(family)};
        notes.removeAll(QString());
        return {true, notes.join(QLatin1Char(' '))};
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

FamilyChange deleteTableFamily(const TableFamily& family, const QString& table) {
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
