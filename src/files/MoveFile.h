#pragma once

// Giving a file another name in its folder: the file itself keeps its inode,
// owner, group, mode, times, access lists and extended attributes, and
// nothing is copied, unless the file system refuses every way but a copy.

#include <QString>
#include <filesystem>

namespace files {

// The ways a file can reach its new name, in the order they are tried.
enum class MoveWay {
    Rename, // renameat2 with RENAME_NOREPLACE
    Link,   // a hard link under the new name, then the old name removed
    Copy,   // a flushed copy put in place (copyToNewFile), then the old file deleted
};

struct FileMove {
    bool moved = false;            // the file has the new name and not the old one
    MoveWay way = MoveWay::Rename; // how it moved
    QString reason;                // why it did not; empty when it moved
};

// Moves source to target in the same folder, never replacing anything and
// never leaving both names: by renameat2(RENAME_NOREPLACE); by link and
// unlink where the file system does not know that flag; by a copy only where
// it refuses hard links as well. first skips the ways before it (the undo of
// a move takes the way the move took).
FileMove moveFile(const std::filesystem::path& source, const std::filesystem::path& target,
                  MoveWay first = MoveWay::Rename);

} // namespace files
