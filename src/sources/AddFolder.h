#pragma once

// Folder routines: listing table files and collecting subfolders.

#include <QString>
#include <QStringList>

namespace AddFolder {

// Bare names of the ordinary files in folder whose name matches pattern (a
// wildcard such as "*.db", letter case ignored), in enumeration order.
// Hidden files are included, folders are not. A folder that is missing or
// cannot be read gives an empty list.
QStringList ListFiles(const QString& folder, const QString& pattern);

// Extends queue (folder paths, each ending with "/") breadth-first with the
// subfolders of its folders, level by level; with recurse set, all deeper
// levels too. Hidden folders are never entered and a folder reached twice is
// walked once. Lets window events through while it walks.
void CollectSubfolders(QStringList& queue, bool recurse);

} // namespace AddFolder
