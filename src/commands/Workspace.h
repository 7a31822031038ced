#pragma once

// What a command works on: the two table lists, the progress bar, the window
// pointer, the dialogs, the settings and the connection opener. No widgets.

#include "platform/odbc/Odbc.h"
#include "platform/userio/Dialogs.h"
#include "platform/userio/Pointer.h"
#include "platform/userio/Progress.h"
#include "platform/userio/TableList.h"
#include "sources/Settings.h"

class QWidget;

namespace commands {

struct Workspace {
    QWidget* owner;                 // the window the dialogs belong to
    userio::TableList& targetList;  // tables of the data source
    userio::TableList& paradoxList; // Paradox tables
    userio::Progress& progress;
    userio::PointerSetting& pointer;
    userio::Dialogs& dialogs;
    const sources::ConnectionSettings& settings;
    odbc::Opener& opener;
};

using Command = void (*)(Workspace&);

} // namespace commands
