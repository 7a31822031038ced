#include "files/Files.h"
#include "files/FolderWalk.h"
#include "files/TableFamily.h"
#include "sources/Catalogues.h"
#include "sources/codepage/Choice.h"

namespace fs = std::filesystem;

namespace sources {

namespace {

const QString tablePattern = QStringLiteral("*.db");

// "Orders.db" becomes "ORDERS"; every ".DB" goes, not only the last one.
QString tableNameOf(const fs::path& name) {
    return files::decodeFileName(name.native())
        .toUpper()
        .remove(QStringLiteral(".DB"), Qt::CaseSensitive);
}

// The files of a table of the folder, else of the first subfolder that holds
// it.
std::optional<files::TableFamily> findTable(const fs::path& folder, const QString& table) {
    const std::optional<fs::path> at = files::findTableFolder(folder, table);
    return at ? files::findTableFamily(*at, table) : std::nullopt;
}

} // namespace

QString codePageNoteOf(const ConnectionSettings& settings, const QString& table) {
    const std::optional<files::TableFamily> family =
        findTable(files::pathOf(settings.paradoxFolder()), table);
    if (!family) {
        return {};
    }
    try {
        return QString::fromStdString(
            codepage::noteOf(codepage::codePageOfTable({family->dataFile(), family->memoFile()})));
    } catch (const std::exception& error) {
        return QStringLiteral("The code page of its text is not known: %1")
            .arg(QString::fromUtf8(error.what()));
    }
}

bool testParadoxFolder(const ConnectionSettings& settings) {
    const QString folder = settings.paradoxFolder();
    if (folder.isEmpty()) {
        return false;
    }
    return !files::listFiles(files::pathOf(folder), tablePattern).empty();
}

QString whyParadoxFolderFails(const ConnectionSettings& settings) {
    if (testParadoxFolder(settings)) {
        return {};
    }
    const QString folder = settings.paradoxFolder();
    if (folder.isEmpty()) {
        return QStringLiteral("No Paradox folder is given.");
    }
    const fs::path path = files::pathOf(folder);
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

void listParadoxTables(userio::TableList& list, const ConnectionSettings& settings) {
    const QString root = settings.paradoxFolder();
    if (root.isEmpty()) {
        return;
    }
    files::listTreeFiles(files::pathOf(root), tablePattern, [&list](const fs::path& name) {
        if (!name.native().starts_with('~')) {
            list.add(tableNameOf(name));
        }
    });
}

} // namespace sources
