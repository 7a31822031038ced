#pragma once

#include "platform/userio/Dialogs.h"

namespace setup {

// The platform's folder chooser, modal over owner, showing title and folders
// only. An absolute path, or the empty string when the user cancels.
QString pickFolder(QWidget& owner, const QString& title, userio::Dialogs& dialogs);

} // namespace setup
