#include "shell/MainWindow.h"

#include "maintenance/Maintenance.h"
#include "sources/Catalogues.h"
#include "transfer/SendTables.h"
#include "widgets/CenterWindow.h"
#include "widgets/Layout.h"

#include <QCloseEvent>

namespace shell {

MainWindow::MainWindow(userio::Dialogs& dialogs, const sources::ConnectionSettings& settings,
                       odbc::Opener& opener, commands::Runner& runner)
    : dialogs_(dialogs), settings_(settings), opener_(opener), runner_(runner) {
    setObjectName(QStringLiteral("MainWindow"));
    createControls();
    placeControls();
    orderControls();
    widgets::applyLook(*this);
    setStyleSheet(styleSheet() + QStringLiteral(" QGroupBox { color: black; }"));
    addPointerRules();
    wireSelectionButtons();
    wireCommands();
    paradoxList->onTip(
        [this](const QString& table) { return sources::codePageNoteOf(settings_, table); });
}

void MainWindow::createControls() {
    targetFrame = new QGroupBox(QStringLiteral("Sybase SQL Anywhere Tables"), this);
    targetList = new widgets::TableListWidget(targetFrame);
    targetList->setAccessibleName(QStringLiteral("Tables in the data source"));
    selectAllTargetButton = new widgets::PressButton(QStringLiteral("Select All"), targetFrame);
    deselectAllTargetButton = new widgets::PressButton(QStringLiteral("Deselect All"), targetFrame);
    sendToParadoxButton =
        new widgets::PressButton(QStringLiteral("Send Table(s) to Paradox"), targetFrame);
    dropTablesButton = new widgets::PressButton(QStringLiteral("Delete Table(s)"), targetFrame);
    renameTargetButton = new widgets::PressButton(QStringLiteral("Rename Table"), this);
    paradoxFrame = new QGroupBox(QStringLiteral("Paradox Tables"), this);
    paradoxList = new widgets::TableListWidget(paradoxFrame);
    paradoxList->setAccessibleName(QStringLiteral("Paradox tables"));
    selectAllParadoxButton = new widgets::PressButton(QStringLiteral("Select All"), paradoxFrame);
    deselectAllParadoxButton =
        new widgets::PressButton(QStringLiteral("Deselect All"), paradoxFrame);
    sendToTargetButton =
        new widgets::PressButton(QStringLiteral("Send Table(s) to Sybase ASA"), this);
    deleteParadoxButton = new widgets::PressButton(QStringLiteral("Delete Table(s)"), this);
    renameParadoxButton = new widgets::PressButton(QStringLiteral("Rename Table"), this);
    progressBar = new widgets::ProgressBar(this);
    progressBar->setAccessibleName(QStringLiteral("Progress of the send"));
    setupButton =
        new widgets::PressButton(QStringLiteral("Setup Sybase ASA && Paradox Connections"), this);
    sendToParadoxButton->setEnabled(false);
}

void MainWindow::placeControls() {
    widgets::fixWindow(*this, 7320, 5430);
    widgets::place(*targetFrame, 120, 120, 3465, 4215);
    widgets::place(*targetList, 240, 360, 2970, 1635);
    widgets::place(*selectAllTargetButton, 240, 2160, 1335, 375);
    widgets::place(*deselectAllTargetButton, 1680, 2160, 1575, 375);
    widgets::place(*sendToParadoxButton, 240, 2640, 3015, 375);
    widgets::place(*dropTablesButton, 240, 3120, 3015, 375);
    widgets::place(*renameTargetButton, 360, 3720, 3015, 375);
    widgets::place(*paradoxFrame, 3720, 120, 3465, 4215);
    widgets::place(*paradoxList, 240, 360, 2970, 1635);
    widgets::place(*selectAllParadoxButton, 240, 2160, 1335, 375);
    widgets::place(*deselectAllParadoxButton, 1680, 2160, 1575, 375);
    widgets::place(*sendToTargetButton, 3960, 2760, 3015, 375);
    widgets::place(*deleteParadoxButton, 3960, 3240, 3015, 375);
    widgets::place(*renameParadoxButton, 3960, 3720, 3015, 375);
    widgets::place(*progressBar, 120, 4440, 7095, 375);
    widgets::place(*setupButton, 120, 4920, 7095, 375);
    // Buttons of the window that lie inside a frame are drawn above it.
    for (QWidget* button :
         {renameTargetButton, sendToTargetButton, deleteParadoxButton, renameParadoxButton}) {
        button->raise();
    }
}

void MainWindow::orderControls() {
    const QList<QWidget*> order = {targetList,
                                   paradoxList,
                                   dropTablesButton,
                                   setupButton,
                                   sendToTargetButton,
                                   deleteParadoxButton,
                                   renameTargetButton,
                                   renameParadoxButton,
                                   selectAllParadoxButton,
                                   deselectAllParadoxButton,
                                   selectAllTargetButton,
                                   deselectAllTargetButton};
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void MainWindow::addPointerRules() {
    auto* rules = new widgets::PointerRules(*this, *this);
    for (QWidget* button :
         {dropTablesButton, setupButton, sendToTargetButton, deleteParadoxButton,
          renameTargetButton, renameParadoxButton, selectAllParadoxButton, deselectAllParadoxButton,
          selectAllTargetButton, deselectAllTargetButton}) {
        rules->addRule(*button, userio::CustomPointer);
    }
    for (QWidget* control :
         {static_cast<QWidget*>(targetFrame), static_cast<QWidget*>(paradoxFrame),
          static_cast<QWidget*>(targetList), static_cast<QWidget*>(paradoxList)}) {
        rules->addRule(*control, userio::DefaultPointer);
    }
    rules->addWithoutRule(*sendToParadoxButton);
    rules->addWithoutRule(*progressBar);
}

void MainWindow::wireSelectionButtons() {
    selectAllTargetButton->onPress([this] { selectAll(*targetList, true); });
    deselectAllTargetButton->onPress([this] { selectAll(*targetList, false); });
    selectAllParadoxButton->onPress([this] { selectAll(*paradoxList, true); });
    deselectAllParadoxButton->onPress([this] { selectAll(*paradoxList, false); });
}

void MainWindow::wireCommands() {
    sendToTargetButton->onPress([this] { runCommand(transfer::sendTables); });
    dropTablesButton->onPress([this] { runCommand(maintenance::dropTargetTables); });
    deleteParadoxButton->onPress([this] { runCommand(maintenance::deleteParadoxTables); });
    renameTargetButton->onPress([this] { runCommand(maintenance::renameTargetTable); });
    renameParadoxButton->onPress([this] { runCommand(maintenance::renameParadoxTable); });
    setupButton->onPress([this] { openSetup(); });
}

commands::Workspace MainWindow::workspace() {
    return {this, *targetList, *paradoxList, *progressBar, *this, dialogs_, settings_, opener_};
}

void MainWindow::runCommand(commands::Command command) {
    commands::Workspace parts = workspace();
    commands::runCommand(runner_, parts, command);
}

void MainWindow::openSetup() {
    runner_.run(
        [this] {
            if (onSetup) {
                onSetup();
            }
        },
        [this](const QString& text) { dialogs_.message(this, text); });
}

void MainWindow::load() {
    widgets::centerWindow(*this);
    pointer_.loadHand();
    setWindowTitle(QString::fromLatin1(userio::ApplicationTitle));
    QPalette palette = progressBar->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, Qt::white);
    progressBar->setPalette(palette);
    targetList->clearAll();
    paradoxList->clearAll();
    sources::listTargetTables(*targetList, settings_, opener_);
    sources::listParadoxTables(*paradoxList, settings_);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClose) {
        onClose();
    }
}

void selectAll(userio::TableList& list, bool selected) {
    for (int i = 0; i < list.count(); ++i) {
        list.setSelectedAt(i, selected);
    }
}

} // namespace shell
