#pragma once

// What a command works on: the two table lists, the progress bar, the window
// pointer, the dialogs, the settings and the connection opener. No widgets.

#include "platform/odbc/Odbc.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Pointer.h"
#include "platform/ui/Progress.h"
#include "platform/ui/TableList.h"
#include "sources/Settings.h"

class QWidget;

namespace commands {

struct Workspace {
    QWidget* owner;             // the window the dialogs belong to
    ui::TableList& targetList;  // tables of the data source
    ui::TableList& paradoxList; // Paradox tables
    ui::Progress& progress;
    ui::PointerSetting& pointer;
    ui::Dialogs& dialogs;
    const sources::LiveSettings& settings;
    odbc::Opener& opener;
};

using Command = void (*)(Workspace&);

} // namespace commands
