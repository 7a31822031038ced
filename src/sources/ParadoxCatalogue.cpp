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

QString WhyNoConnection(const sources::LiveSettings& settings) {
    if (TestConnection(settings)) {
        return {};
    }
    const QString folder = settings.paradoxFolder();
    if (folder.isEmpty()) {
        return QStringLiteral("No Paradox folder is given.");
    }
    const fs::path path = Main::pathOf(folder);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        return QStringLiteral("The folder \"%1\" does not exist.").arg(folder);
    }
    if (!error && !fs::is_directory(status)) {
        return QStringLiteral("\"%1\" is not a folder.").arg(folder);
    }
    if (!error) {
        fs::directory_iterator(path, error);
    }
    if (error) {
        return QStringLiteral("The folder \"%1\" cannot be read: %2.")
            .arg(folder, QString::fromLocal8Bit(error.message()));
    }
    return QStringLiteral("The folder \"%1\" holds no Paradox table (no *.db file).").arg(folder);
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
