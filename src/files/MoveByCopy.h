#pragma once

// Copying a file to a new name, without ever losing it: the last way of
// moveFile, for file systems that neither rename nor link without replacing.

#include <QString>
#include <filesystem>

namespace files {

struct MoveResult {
    bool moved = false; // the target holds the copy now
    QString reason;     // why not; empty when it did
};

// Why a file may not be renamed to target, by the names alone: a NUL, a "/",
// or the old name again (also in other letter case); empty when it may.
QString checkNewName(const std::filesystem::path& source, const std::filesystem::path& target);

// True when something (a file, a folder, even a broken link) has the path.
bool isTaken(const std::filesystem::path& path);

// Copies source to target without replacing anything: it refuses an existing
// target, a target equal to the source (also by letter case), and a name with
// a path separator or NUL; it copies to a temporary file in the same folder
// (with the source's mode and times, and its owner and group where the user
// may give them), flushes it and moves it into place. The source stays.
MoveResult copyToNewFile(const std::filesystem::path& source, const std::filesystem::path& target);

} // namespace files
