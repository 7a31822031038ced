#pragma once

// Deleting and renaming tables on both sides.

#include "commands/Workspace.h"

namespace maintenance {

// Drops the tables selected in targetList from the data source.
void DropTargetTables(commands::Workspace& workspace);
// Deletes the files of the tables selected in paradoxList.
void DeleteParadoxTables(commands::Workspace& workspace);
// Renames the one table selected in targetList.
void RenameTargetTable(commands::Workspace& workspace);
// Renames the files of the one table selected in paradoxList.
void RenameParadoxTable(commands::Workspace& workspace);

} // namespace maintenance
