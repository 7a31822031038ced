#include "maintenance/Maintenance.h"

#include "files/Files.h"
#include "files/TableFamily.h"
#include "sources/Target.h"
#include "transfer/Statements.h"

#include <QStringList>
#include <filesystem>

namespace maintenance {

namespace fs = std::filesystem;

namespace {

const QString selectToRename = QStringLiteral("Please select a table to rename.");
const QString selectJustOne = QStringLiteral("Please select just one table to rename.");

// The one selected entry when exactly one is selected; otherwise shows why not.
std::optional<int> singleSelection(commands::Workspace& workspace, userio::TableList& list) {
    if (list.current() == -1) {
        workspace.dialogs.message(workspace.owner, selectToRename);
        return std::nullopt;
    }
    if (list.selectedCount() != 1) {
        workspace.dialogs.message(workspace.owner, selectJustOne);
        return std::nullopt;
    }
    for (int i = list.count() - 1; i >= 0; --i) {
        if (list.isSelectedAt(i)) {
            return i;
        }
    }
    return std::nullopt;
}

QString askNewName(commands::Workspace& workspace, const QString& oldName) {
    return workspace.dialogs.input(
        workspace.owner, QStringLiteral("Enter new name of ") + oldName + QLatin1Char(':'),
        QString::fromLatin1(userio::ApplicationTitle), oldName);
}

struct Rename {
    int index;
    QString oldName;
    QString newName;
};

// The one selected entry with the new name the user typed; nothing when the
// selection is not one entry (after saying so) or the answer is empty.
std::optional<Rename> askRename(commands::Workspace& workspace, userio::TableList& list) {
    const std::optional<int> index = singleSelection(workspace, list);
    if (!index) {
        return std::nullopt;
    }
    const QString oldName = list.textAt(*index);
    const QString newName = askNewName(workspace, oldName);
    if (newName.isEmpty()) {
        return std::nullopt;
    }
    return Rename{*index, oldName, newName};
}

void replaceEntry(userio::TableList& list, int index, const QString& newName) {
    list.removeAt(index);
    list.add(newName);
    list.setCurrent(0);
}

} // namespace

void dropTargetTables(commands::Workspace& workspace) {
    const userio::BusyScope busy(workspace.pointer);
    const sources::Target target = sources::openTarget(workspace.settings, workspace.opener);
    if (workspace.targetList.current() == -1) {
        workspace.dialogs.message(workspace.owner, QStringLiteral("Please select a table"));
        return;
    }
    for (int i = workspace.targetList.count() - 1; i >= 0; --i) {
        if (workspace.targetList.isSelectedAt(i)) {
            target->execute(transfer::dropTableStatement(workspace.targetList.textAt(i)));
            workspace.targetList.removeAt(i);
        }
    }
}

void deleteParadoxTables(commands::Workspace& workspace) {
    const userio::BusyScope busy(workspace.pointer);
    if (workspace.paradoxList.current() == -1) {
        workspace.dialogs.message(workspace.owner,
                                  QStringLiteral("Please select a table to delete."));
        return;
    }
    const fs::path folder = files::pathOf(workspace.settings.paradoxFolder());
    QStringList notes;
    for (int i = workspace.paradoxList.count() - 1; i >= 0; --i) {
        if (!workspace.paradoxList.isSelectedAt(i)) {
            continue;
        }
        const QString table = workspace.paradoxList.textAt(i);
        const std::optional<files::TableFamily> family = files::findTableFamily(folder, table);
        if (!family) {
            continue;
        }
        const files::FamilyChange change = files::deleteTableFamily(*family, table);
        if (!change.message.isEmpty()) {
            notes << change.message;
        }
        // A data file that stays keeps its entry and ends the walk.
        if (!change.done) {
            break;
        }
        workspace.paradoxList.removeAt(i);
    }
    if (!notes.isEmpty()) {
        workspace.dialogs.message(workspace.owner, notes.join(QStringLiteral("\r\r")));
    }
}

void renameTargetTable(commands::Workspace& workspace) {
    const userio::BusyScope busy(workspace.pointer);
    const sources::Target target = sources::openTarget(workspace.settings, workspace.opener);
    const std::optional<Rename> rename = askRename(workspace, workspace.targetList);
    if (!rename) {
        return;
    }
    const QString tooLong = target.nameTooLong(rename->newName, sources::NameKind::Table);
    if (!tooLong.isEmpty()) {
        workspace.dialogs.message(workspace.owner,
                                  QStringLiteral("The table %1 was not renamed: the name %2 %3. "
                                                 "Choose a shorter name.")
                                      .arg(rename->oldName, rename->newName, tooLong));
        return;
    }
    target->execute(transfer::renameTableStatement(rename->oldName, rename->newName));
    replaceEntry(workspace.targetList, rename->index, rename->newName);
}

void renameParadoxTable(commands::Workspace& workspace) {
    const userio::BusyScope busy(workspace.pointer);
    const std::optional<Rename> rename = askRename(workspace, workspace.paradoxList);
    if (!rename) {
        return;
    }
    const fs::path folder = files::pathOf(workspace.settings.paradoxFolder());
    // A table that is not in the folder itself shows the new name all the same.
    if (const std::optional<files::TableFamily> family =
            files::findTableFamily(folder, rename->oldName)) {
        const files::FamilyChange change =
            files::renameTableFamily(*family, rename->oldName, rename->newName);
        if (!change.message.isEmpty()) {
            workspace.dialogs.message(workspace.owner, change.message);
        }
        if (!change.done) {
            return;
        }
    }
    replaceEntry(workspace.paradoxList, rename->index, rename->newName);
}

} // namespace maintenance
