#pragma once

// Moving a file by copying it, without ever losing it: the fallback of
// moveFile for file systems that neither rename nor link without replacing.

#include <QString>
#include <filesystem>

namespace files {

struct MoveResult {
    bool moved = false; // the target holds the file now
    QString reason;     // why not, or what went wrong after; empty when all went well
};

// Why a file may not be renamed to target, by the names alone: a NUL, a "/",
// or the old name again (also in other letter case); empty when it may.
QString checkNewName(const std::filesystem::path& source, const std::filesystem::path& target);

// True when something (a file, a folder, even a broken link) has the path.
bool isTaken(const std::filesystem::path& path);

// The first half of moveByCopy: the safe copy to a new file; the source stays.
MoveResult copyToNewFile(const std::filesystem::path& source, const std::filesystem::path& target);

// Moves a file by copying it and deleting the source, never losing it: it
// refuses an existing target, a target equal to the source (also by letter
// case), and a name with a path separator or NUL; it copies to a temporary
// file in the same folder (with the source's mode and times, and its owner
// and group where the user may give them), flushes it, moves it into place
// without replacing anything and deletes the source only then. When that last delete fails,
// moved is true and reason names both files.
MoveResult moveByCopy(const std::filesystem::path& source, const std::filesystem::path& target);

} // namespace files
