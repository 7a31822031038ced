#pragma once

// Deleting and renaming tables on both sides.

#include "commands/Workspace.h"

namespace maintenance {

// Drops the tables selected in targetList from the data source.
void DropTables(commands::Workspace& workspace);
// Deletes the files of the tables selected in paradoxList.
void DeleteTableFiles(commands::Workspace& workspace);
// Renames the one table selected in targetList.
void RenameTable(commands::Workspace& workspace);
// Renames the files of the one table selected in paradoxList.
void RenameTableFile(commands::Workspace& workspace);

} // namespace maintenance
