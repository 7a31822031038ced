#pragma once

// Deleting and renaming tables on both sides.

#include "commands/Workspace.h"

namespace maintenance {

// Drops the tables selected in targetList from the data source.
void dropTargetTables(commands::Workspace& workspace);
// Deletes the tables selected in paradoxList, every file of their families.
void deleteParadoxTables(commands::Workspace& workspace);
// Renames the one table selected in targetList.
void renameTargetTable(commands::Workspace& workspace);
// Renames the one table selected in paradoxList, every file of its family.
void renameParadoxTable(commands::Workspace& workspace);

} // namespace maintenance
