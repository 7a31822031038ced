#include "setup/PickFolder.h"

#include <QDir>

namespace setup {

QString pickFolder(QWidget& owner, const QString& title, userio::Dialogs& dialogs) {
    const QString picked = dialogs.pickFolder(&owner, title);
    if (picked.isEmpty()) {
        return {};
    }
    return QDir::isAbsolutePath(picked) ? picked : QDir(picked).absolutePath();
}

} // namespace setup
