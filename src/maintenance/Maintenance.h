#pragma once

// Deleting and renaming tables on both sides.

#include "shell/Command.h"

namespace maintenance {

// Drops the tables selected in List1 from the data source.
void DropTables(shell::MainWindowParts& parts);
// Deletes the data files of the tables selected in List2.
void DeleteTableFiles(shell::MainWindowParts& parts);
// Renames the one table selected in List1.
void RenameTable(shell::MainWindowParts& parts);
// Renames the data file of the one table selected in List2.
void RenameTableFile(shell::MainWindowParts& parts);

} // namespace maintenance
