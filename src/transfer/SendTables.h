#pragma once

#include "shell/Command.h"

namespace transfer {

// Copies the tables selected in List2 into the data source, last entry first.
void SendTables(shell::MainWindowParts& parts);

} // namespace transfer
