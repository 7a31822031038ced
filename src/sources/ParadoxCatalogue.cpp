#include "files/Files.h"
#include "sources/AddFolder.h"
#include "sources/Catalogues.h"

namespace fs = std::filesystem;

namespace Paradox {

namespace {

const QString tablePattern = QStringLiteral("*.db");

// "Orders.db" becomes "ORDERS"; every ".DB" goes, not only the last one.
QString tableNameOf(const fs::path& name) {
    return Main::decodeFileName(name.native())
        .toUpper()
        .remove(QStringLiteral(".DB"), Qt::CaseSensitive);
}

} // namespace

bool TestConnection(const sources::LiveSettings& settings) {
    const QString folder = settings.paradoxFolder();
    if (folder.isEmpty()) {
        return false;
    }
    return !AddFolder::ListFiles(Main::pathOf(folder), tablePattern).empty();
}

void ListTables(ui::TableList& list, const sources::LiveSettings& settings) {
    const QString root = settings.paradoxFolder();
    if (root.isEmpty()) {
        return;
    }
    AddFolder::ListTreeFiles(Main::pathOf(root), tablePattern, [&list](const fs::path& name) {
        if (!name.native().starts_with('~')) {
            list.add(tableNameOf(name));
        }
    });
}

} // namespace Paradox
