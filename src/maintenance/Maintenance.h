#pragma once

// Deleting and renaming tables on both sides.

#include "shell/Command.h"

#include <QStringList>

namespace maintenance {

// Drops the tables selected in List1 from the data source.
void DropTables(shell::MainWindowParts& parts);
// Deletes the data files of the tables selected in List2.
void DeleteTableFiles(shell::MainWindowParts& parts);
// Renames the one table selected in List1.
void RenameTable(shell::MainWindowParts& parts);
// Renames the data file of the one table selected in List2.
void RenameTableFile(shell::MainWindowParts& parts);

// Every data file of a table in the folder itself: <folder>/<name>.DB,
// <folder>/<name>.db, then the spellings that differ only by letter case.
QStringList tableFilesOf(const QString& folder, const QString& name);

// The data file of a table in the folder itself: <folder>/<name>.DB, then
// <folder>/<name>.db, then any spelling of the name that differs only by
// letter case. Empty when there is none.
QString findTableFile(const QString& folder, const QString& name);

} // namespace maintenance
