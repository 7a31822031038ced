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
    controls_.paradoxList->onTip(
        [this](const QString& table) { return sources::codePageNoteOf(settings_, table); });
}

void MainWindow::createControls() {
    controls_.targetFrame = new QGroupBox(QStringLiteral("Sybase SQL Anywhere Tables"), this);
    controls_.targetList = new widgets::TableListWidget(controls_.targetFrame);
    controls_.targetList->setAccessibleName(QStringLiteral("Tables in the data source"));
    controls_.selectAllTargetButton =
        new widgets::PressButton(QStringLiteral("Select All"), controls_.targetFrame);
    controls_.deselectAllTargetButton =
        new widgets::PressButton(QStringLiteral("Deselect All"), controls_.targetFrame);
    controls_.sendToParadoxButton =
        new widgets::PressButton(QStringLiteral("Send Table(s) to Paradox"), controls_.targetFrame);
    controls_.dropTablesButton =
        new widgets::PressButton(QStringLiteral("Delete Table(s)"), controls_.targetFrame);
    controls_.renameTargetButton = new widgets::PressButton(QStringLiteral("Rename Table"), this);
    controls_.paradoxFrame = new QGroupBox(QStringLiteral("Paradox Tables"), this);
    controls_.paradoxList = new widgets::TableListWidget(controls_.paradoxFrame);
    controls_.paradoxList->setAccessibleName(QStringLiteral("Paradox tables"));
    controls_.selectAllParadoxButton =
        new widgets::PressButton(QStringLiteral("Select All"), controls_.paradoxFrame);
    controls_.deselectAllParadoxButton =
        new widgets::PressButton(QStringLiteral("Deselect All"), controls_.paradoxFrame);
    controls_.sendToTargetButton =
        new widgets::PressButton(QStringLiteral("Send Table(s) to Sybase ASA"), this);
    controls_.deleteParadoxButton =
        new widgets::PressButton(QStringLiteral("Delete Table(s)"), this);
    controls_.renameParadoxButton = new widgets::PressButton(QStringLiteral("Rename Table"), this);
    controls_.progressBar = new widgets::ProgressBar(this);
    controls_.progressBar->setAccessibleName(QStringLiteral("Progress of the send"));
    controls_.setupButton =
        new widgets::PressButton(QStringLiteral("Setup Sybase ASA && Paradox Connections"), this);
    controls_.sendToParadoxButton->setEnabled(false);
}

void MainWindow::placeControls() {
    widgets::fixWindow(*this, 7320, 5430);
    widgets::place(*controls_.targetFrame, 120, 120, 3465, 4215);
    widgets::place(*controls_.targetList, 240, 360, 2970, 1635);
    widgets::place(*controls_.selectAllTargetButton, 240, 2160, 1335, 375);
    widgets::place(*controls_.deselectAllTargetButton, 1680, 2160, 1575, 375);
    widgets::place(*controls_.sendToParadoxButton, 240, 2640, 3015, 375);
    widgets::place(*controls_.dropTablesButton, 240, 3120, 3015, 375);
    widgets::place(*controls_.renameTargetButton, 360, 3720, 3015, 375);
    widgets::place(*controls_.paradoxFrame, 3720, 120, 3465, 4215);
    widgets::place(*controls_.paradoxList, 240, 360, 2970, 1635);
    widgets::place(*controls_.selectAllParadoxButton, 240, 2160, 1335, 375);
    widgets::place(*controls_.deselectAllParadoxButton, 1680, 2160, 1575, 375);
    widgets::place(*controls_.sendToTargetButton, 3960, 2760, 3015, 375);
    widgets::place(*controls_.deleteParadoxButton, 3960, 3240, 3015, 375);
    widgets::place(*controls_.renameParadoxButton, 3960, 3720, 3015, 375);
    widgets::place(*controls_.progressBar, 120, 4440, 7095, 375);
    widgets::place(*controls_.setupButton, 120, 4920, 7095, 375);
    // Buttons of the window that lie inside a frame are drawn above it.
    for (QWidget* button : {controls_.renameTargetButton, controls_.sendToTargetButton,
                            controls_.deleteParadoxButton, controls_.renameParadoxButton}) {
        button->raise();
    }
}

void MainWindow::orderControls() {
    const QList<QWidget*> order = {controls_.targetList,
                                   controls_.paradoxList,
                                   controls_.dropTablesButton,
                                   controls_.setupButton,
                                   controls_.sendToTargetButton,
                                   controls_.deleteParadoxButton,
                                   controls_.renameTargetButton,
                                   controls_.renameParadoxButton,
                                   controls_.selectAllParadoxButton,
                                   controls_.deselectAllParadoxButton,
                                   controls_.selectAllTargetButton,
                                   controls_.deselectAllTargetButton};
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void MainWindow::addPointerRules() {
    auto* rules = new widgets::PointerRules(*this, *this);
    for (QWidget* button : {controls_.dropTablesButton, controls_.setupButton,
                            controls_.sendToTargetButton, controls_.deleteParadoxButton,
                            controls_.renameTargetButton, controls_.renameParadoxButton,
                            controls_.selectAllParadoxButton, controls_.deselectAllParadoxButton,
                            controls_.selectAllTargetButton, controls_.deselectAllTargetButton}) {
        rules->addRule(*button, userio::CustomPointer);
    }
    for (QWidget* control : {static_cast<QWidget*>(controls_.targetFrame),
                             static_cast<QWidget*>(controls_.paradoxFrame),
                             static_cast<QWidget*>(controls_.targetList),
                             static_cast<QWidget*>(controls_.paradoxList)}) {
        rules->addRule(*control, userio::DefaultPointer);
    }
    rules->addWithoutRule(*controls_.sendToParadoxButton);
    rules->addWithoutRule(*controls_.progressBar);
}

void MainWindow::wireSelectionButtons() {
    controls_.selectAllTargetButton->onPress([this] { selectAll(*controls_.targetList, true); });
    controls_.deselectAllTargetButton->onPress([this] { selectAll(*controls_.targetList, false); });
    controls_.selectAllParadoxButton->onPress([this] { selectAll(*controls_.paradoxList, true); });
    controls_.deselectAllParadoxButton->onPress(
        [this] { selectAll(*controls_.paradoxList, false); });
}

void MainWindow::wireCommands() {
    controls_.sendToTargetButton->onPress([this] { runCommand(transfer::sendTables); });
    controls_.dropTablesButton->onPress([this] { runCommand(maintenance::dropTargetTables); });
    controls_.deleteParadoxButton->onPress(
        [this] { runCommand(maintenance::deleteParadoxTables); });
    controls_.renameTargetButton->onPress([this] { runCommand(maintenance::renameTargetTable); });
    controls_.renameParadoxButton->onPress([this] { runCommand(maintenance::renameParadoxTable); });
    controls_.setupButton->onPress([this] { openSetup(); });
}

commands::Workspace MainWindow::workspace() {
    return {this,
            *controls_.targetList,
            *controls_.paradoxList,
            *controls_.progressBar,
            *this,
            dialogs_,
            settings_,
            opener_};
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
    QPalette palette = controls_.progressBar->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, Qt::white);
    controls_.progressBar->setPalette(palette);
    controls_.targetList->clearAll();
    controls_.paradoxList->clearAll();
    sources::listTargetTables(*controls_.targetList, settings_, opener_);
    sources::listParadoxTables(*controls_.paradoxList, settings_);
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
