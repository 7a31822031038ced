#pragma once

#include "commands/Workspace.h"

#include <stdexcept>

namespace transfer {

// A table that cannot be sent for a reason of the Paradox folder.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text);
};

// Copies the tables selected in paradoxList into the data source, last entry first.
void sendTables(commands::Workspace& workspace);

} // namespace transfer
