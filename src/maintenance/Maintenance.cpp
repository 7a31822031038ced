#include "maintenance/Maintenance.h"

#include "shell/Main.h"
#include "transfer/Statements.h"

#include <QDir>
#include <filesystem>

namespace maintenance {

namespace {

const QString selectToRename = QStringLiteral("Please select a table to rename.");
const QString selectJustOne = QStringLiteral("Please select just one table to rename.");

std::unique_ptr<odbc::Connection> openTarget(shell::MainWindowParts& parts) {
    return parts.opener.open(
        {sources::sybaseConnectionString(parts.settings.dataSourceName()), {}});
}

bool deleteFile(const QString& path) {
    return std::filesystem::remove(std::filesystem::path(path.toStdString()));
}

// The one selected entry when exactly one is selected; otherwise shows why not.
std::optional<int> singleSelection(shell::MainWindowParts& parts, shell::TableList& list) {
    if (list.current() == -1) {
        parts.dialogs.message(&parts.window, selectToRename);
        return std::nullopt;
    }
    if (list.selectedCount() != 1) {
        parts.dialogs.message(&parts.window, selectJustOne);
        return std::nullopt;
    }
    for (int i = list.count() - 1; i >= 0; --i) {
        if (list.isSelectedAt(i)) {
            return i;
        }
    }
    return std::nullopt;
}

QString askNewName(shell::MainWindowParts& parts, const QString& oldName) {
    return parts.dialogs.input(&parts.window,
                               QStringLiteral("Enter new name of ") + oldName + QLatin1Char(':'),
                               QString::fromLatin1(ui::ApplicationTitle), oldName);
}

struct Rename {
    int index;
    QString oldName;
    QString newName;
};

// The one selected entry with the new name the user typed; nothing when the
// selection is not one entry (after saying so) or the answer is empty.
std::optional<Rename> askRename(shell::MainWindowParts& parts, shell::TableList& list) {
    const std::optional<int> index = singleSelection(parts, list);
    if (!index) {
        return std::nullopt;
    }
    const QString oldName = list.textAt(*index);
    const QString newName = askNewName(parts, oldName);
    if (newName.isEmpty()) {
        return std::nullopt;
    }
    return Rename{*index, oldName, newName};
}

void replaceEntry(shell::TableList& list, int index, const QString& newName) {
    list.removeAt(index);
    list.add(newName);
    list.setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

// The extension as the found file spells it, so .DB stays .DB and .db stays .db.
QString extensionOf(const QString& path) {
    return path.right(3);
}

} // namespace

QStringList tableFilesOf(const QString& folder, const QString& name) {
    QStringList found;
    const QString base = folder + QLatin1Char('/') + name;
    for (const QString& extension : {QStringLiteral(".DB"), QStringLiteral(".db")}) {
        if (Main::FileExists(base + extension)) {
            found << base + extension;
        }
    }
    const QString wanted = (name + QStringLiteral(".db")).toLower();
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        const QString path = folder + QLatin1Char('/') + entry;
        if (entry.toLower() == wanted && !found.contains(path)) {
            found << path;
        }
    }
    return found;
}

QString findTableFile(const QString& folder, const QString& name) {
    const QStringList found = tableFilesOf(folder, name);
    return found.isEmpty() ? QString() : found.first();
}

void DropTables(shell::MainWindowParts& parts) {
    const shell::BusyScope busy(parts.pointer);
    const std::unique_ptr<odbc::Connection> target = openTarget(parts);
    if (parts.list1.current() == -1) {
        parts.dialogs.message(&parts.window, QStringLiteral("Please select a table"));
        return;
    }
    for (int i = parts.list1.count() - 1; i >= 0; --i) {
        if (parts.list1.isSelectedAt(i)) {
            target->execute(transfer::dropTableStatement(parts.list1.textAt(i)));
            parts.list1.removeAt(i);
        }
    }
}

void DeleteTableFiles(shell::MainWindowParts& parts) {
    const shell::BusyScope busy(parts.pointer);
    if (parts.list2.current() == -1) {
        parts.dialogs.message(&parts.window, QStringLiteral("Please select a table to delete."));
        return;
    }
    const QString folder = parts.settings.paradoxFolder();
    for (int i = parts.list2.count() - 1; i >= 0; --i) {
        if (!parts.list2.isSelectedAt(i)) {
            continue;
        }
        const QString name = parts.list2.textAt(i);
        bool deleted = false;
        for (const QString& path : tableFilesOf(folder, name)) {
            deleted = deleteFile(path) || deleted;
        }
        if (deleted) {
            parts.list2.removeAt(i);
        }
    }
}

void RenameTable(shell::MainWindowParts& parts) {
    const shell::BusyScope busy(parts.pointer);
    const std::unique_ptr<odbc::Connection> target = openTarget(parts);
    const std::optional<Rename> rename = askRename(parts, parts.list1);
    if (!rename) {
        return;
    }
    target->execute(transfer::renameTableStatement(rename->oldName, rename->newName));
    replaceEntry(parts.list1, rename->index, rename->newName);
}

void RenameTableFile(shell::MainWindowParts& parts) {
    const shell::BusyScope busy(parts.pointer);
    const std::optional<Rename> rename = askRename(parts, parts.list2);
    if (!rename) {
        return;
    }
    const QString folder = parts.settings.paradoxFolder();
    const QString source = findTableFile(folder, rename->oldName);
    if (!source.isEmpty()) {
        const QString target = folder + QLatin1Char('/') + rename->newName + extensionOf(source);
        const Main::MoveResult result = Main::MoveByCopy(source, target);
        if (!result.moved) {
            parts.dialogs.message(&parts.window, result.reason);
            return;
        }
    }
    replaceEntry(parts.list2, rename->index, rename->newName);
}

} // namespace maintenance
