#include "shell/Main.h"
#include "sources/AddFolder.h"
#include "sources/Catalogues.h"

#include <QListWidget>

namespace Paradox {

namespace {

const QString tablePattern = QStringLiteral("*.db");

// "Orders.db" becomes "ORDERS"; every ".DB" goes, not only the last one.
QString tableNameOf(const QString& path) {
    return Main::FileNameOf(path).toUpper().remove(QStringLiteral(".DB"), Qt::CaseSensitive);
}

void addTablesOfFolder(QListWidget& list, const QString& folder) {
    for (const QString& name : AddFolder::ListFiles(folder, tablePattern)) {
        if (name.startsWith(QLatin1Char('~'))) {
            continue;
        }
        list.addItem(tableNameOf(folder + QLatin1Char('/') + name));
    }
}

} // namespace

bool TestConnection(const sources::LiveSettings& settings) {
    const QString folder = settings.paradoxFolder();
    if (folder.isEmpty()) {
        return false;
    }
    return !AddFolder::ListFiles(folder, tablePattern).isEmpty();
}

void ListTables(QListWidget& list, const sources::LiveSettings& settings) {
    const QString root = settings.paradoxFolder();
    if (root.isEmpty()) {
        return;
    }
    QStringList queue{root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/')};
    AddFolder::CollectSubfolders(queue, true);
    for (const QString& folder : std::as_const(queue)) {
        addTablesOfFolder(list, folder.chopped(1));
    }
}

} // namespace Paradox
