#pragma once

// A Paradox table is a family of files sharing a base name: the data file
// and its companions (memo, primary and secondary indexes, validity checks,
// image settings, forms and reports, view and family files). Send, delete
// and rename find them here and act on the whole family.

#include "files/MoveFile.h"

#include <QString>
#include <filesystem>
#include <optional>
#include <vector>

namespace files {

struct TableFamily {
    // The data file first, then its companions in byte order.
    std::vector<std::filesystem::path> files;
    // Companions whose base name fits another data file of the folder as
    // well (only in other letter case): they are left alone.
    std::vector<std::filesystem::path> shared;

    const std::filesystem::path& dataFile() const { return files.front(); }
    // The memo file: the one spelt like the data file (.MB beside .DB, .mb
    // beside .db), else the first in byte order; nothing when there is none.
    std::optional<std::filesystem::path> memoFile() const;
};

// The family of the table listed as name in folder itself: its data file as
// findTableFile finds it, and every file of the folder with a companion
// extension (.MB, .PX, .Xnn, .Ynn, .XGn, .YGn, .VAL, .SET, .F, .F1 to .F14,
// .R, .R1 to .R14, .TV, .FAM, in any letter case) whose base name is the data file's, compared as
// findTableFile compares names. A companion spelt exactly like one data file belongs to it; one
// that matches several data files only when letter case is ignored belongs to none. Nothing when
// the table has no data file there.
std::optional<TableFamily> findTableFamily(const std::filesystem::path& folder,
                                           const QString& name);

struct FamilyChange {
    bool done = false; // the data file was renamed or removed
    QString message;   // what to tell the user; empty when all went well
};

// Moves every file of the family to newName (each extension as it is) by
// moveFile, so each keeps its inode, owner, group, mode and times, the
// companions first and the data file last. All or nothing: nothing moves
// when any file of the new name exists in any letter case (belonging to
// another table or left over), and a move that fails part way puts back,
// the same way, what had moved. first is moveFile's.
FamilyChange renameTableFamily(const TableFamily& family, const QString& table,
                               const QString& newName, MoveWay first = MoveWay::Rename);

// Removes the data file, then the companions. Nothing more is tried when the
// data file stays.
FamilyChange deleteTableFamily(const TableFamily& family, const QString& table);

} // namespace files
