#pragma once

// Shared file routines: existence, names, and finding a table's files.
// File names are bytes on Linux; they are shown as UTF-8 where they are
// valid UTF-8 and as Latin-1 where they are not, and every lookup compares
// names in that same decoded form, so a listed name finds its very file.

#include <QString>
#include <filesystem>
#include <optional>

namespace files {

// True when the path exists.
bool fileExists(const QString& path);

// A file name or path as text: UTF-8 when the bytes are valid UTF-8,
// otherwise Latin-1 (every byte one character).
QString decodeFileName(const std::string& bytes);
QString displayPath(const std::filesystem::path& path);

// The path a folder or name text stands for (its UTF-8 bytes).
std::filesystem::path pathOf(const QString& text);

// The data file of the table listed as name in folder itself (never a
// subfolder): <name>.DB, then <name>.db, then of the other files whose
// decoded names equal <name>.DB but for letter case the first in byte order.
// Nothing when there is none or the name holds "/" or NUL.
std::optional<std::filesystem::path> findTableFile(const std::filesystem::path& folder,
                                                   const QString& name);

} // namespace files
