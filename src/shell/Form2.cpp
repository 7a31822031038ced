#include "shell/Form2.h"

#include "maintenance/Maintenance.h"
#include "sources/Catalogues.h"
#include "transfer/SendTables.h"
#include "widgets/CenterWindow.h"
#include "widgets/Layout.h"

#include <QCloseEvent>

namespace shell {

Form2::Form2(ui::Dialogs& dialogs, const sources::LiveSettings& settings, odbc::Opener& opener,
             commands::Runner& runner)
    : dialogs_(dialogs), settings_(settings), opener_(opener), runner_(runner) {
    setObjectName(QStringLiteral("Form2"));
    createControls();
    placeControls();
    orderControls();
    widgets::applyLook(*this);
    setStyleSheet(styleSheet() + QStringLiteral(" QGroupBox { color: black; }"));
    addPointerRules();
    wireSelectionButtons();
    wireCommands();
}

void Form2::createControls() {
    Frame1 = new QGroupBox(QStringLiteral("Sybase SQL Anywhere Tables"), this);
    List1 = new widgets::TableListWidget(Frame1);
    Check10 = new widgets::PressButton(QStringLiteral("Select All"), Frame1);
    Check11 = new widgets::PressButton(QStringLiteral("Deselect All"), Frame1);
    Check3 = new widgets::PressButton(QStringLiteral("Send Table(s) to Paradox"), Frame1);
    Check1 = new widgets::PressButton(QStringLiteral("Delete Table(s)"), Frame1);
    Check6 = new widgets::PressButton(QStringLiteral("Rename Table"), this);
    Frame2 = new QGroupBox(QStringLiteral("Paradox Tables"), this);
    List2 = new widgets::TableListWidget(Frame2);
    Check8 = new widgets::PressButton(QStringLiteral("Select All"), Frame2);
    Check9 = new widgets::PressButton(QStringLiteral("Deselect All"), Frame2);
    Check4 = new widgets::PressButton(QStringLiteral("Send Table(s) to Sybase ASA"), this);
    Check5 = new widgets::PressButton(QStringLiteral("Delete Table(s)"), this);
    Check7 = new widgets::PressButton(QStringLiteral("Rename Table"), this);
    ProgressBar1 = new widgets::ProgressBar(this);
    Check2 =
        new widgets::PressButton(QStringLiteral("Setup Sybase ASA && Paradox Connections"), this);
    Check3->setEnabled(false);
}

void Form2::placeControls() {
    widgets::fixWindow(*this, 7320, 5430);
    widgets::place(*Frame1, 120, 120, 3465, 4215);
    widgets::place(*List1, 240, 360, 2970, 1635);
    widgets::place(*Check10, 240, 2160, 1335, 375);
    widgets::place(*Check11, 1680, 2160, 1575, 375);
    widgets::place(*Check3, 240, 2640, 3015, 375);
    widgets::place(*Check1, 240, 3120, 3015, 375);
    widgets::place(*Check6, 360, 3720, 3015, 375);
    widgets::place(*Frame2, 3720, 120, 3465, 4215);
    widgets::place(*List2, 240, 360, 2970, 1635);
    widgets::place(*Check8, 240, 2160, 1335, 375);
    widgets::place(*Check9, 1680, 2160, 1575, 375);
    widgets::place(*Check4, 3960, 2760, 3015, 375);
    widgets::place(*Check5, 3960, 3240, 3015, 375);
    widgets::place(*Check7, 3960, 3720, 3015, 375);
    widgets::place(*ProgressBar1, 120, 4440, 7095, 375);
    widgets::place(*Check2, 120, 4920, 7095, 375);
    // Buttons of the window that lie inside a frame are drawn above it.
    for (QWidget* button : {Check6, Check4, Check5, Check7}) {
        button->raise();
    }
}

void Form2::orderControls() {
    const QList<QWidget*> order = {List1,  List2,  Check1, Check2, Check4,  Check5,
                                   Check6, Check7, Check8, Check9, Check10, Check11};
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void Form2::addPointerRules() {
    auto* rules = new widgets::PointerRules(*this, *this);
    for (QWidget* button :
         {Check1, Check2, Check4, Check5, Check6, Check7, Check8, Check9, Check10, Check11}) {
        rules->addRule(*button, ui::CustomPointer);
    }
    for (QWidget* control : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                             static_cast<QWidget*>(List1), static_cast<QWidget*>(List2)}) {
        rules->addRule(*control, ui::DefaultPointer);
    }
    rules->addWithoutRule(*Check3);
    rules->addWithoutRule(*ProgressBar1);
}

void Form2::wireSelectionButtons() {
    Check10->onPress([this] { selectAll(*List1, true); });
    Check11->onPress([this] { selectAll(*List1, false); });
    Check8->onPress([this] { selectAll(*List2, true); });
    Check9->onPress([this] { selectAll(*List2, false); });
}

void Form2::wireCommands() {
    Check4->onPress([this] { runCommand(transfer::SendTables); });
    Check1->onPress([this] { runCommand(maintenance::DropTables); });
    Check5->onPress([this] { runCommand(maintenance::DeleteTableFiles); });
    Check6->onPress([this] { runCommand(maintenance::RenameTable); });
    Check7->onPress([this] { runCommand(maintenance::RenameTableFile); });
    Check2->onPress([this] { openSetup(); });
}

commands::Workspace Form2::workspace() {
    return {this, *List1, *List2, *ProgressBar1, *this, dialogs_, settings_, opener_};
}

void Form2::runCommand(commands::Command command) {
    commands::Workspace parts = workspace();
    commands::runCommand(runner_, parts, command);
}

void Form2::openSetup() {
    runner_.run(
        [this] {
            if (onSetup) {
                onSetup();
            }
        },
        [this](const QString& text) { dialogs_.message(this, text); });
}

void Form2::Form_Load() {
    Main::CenterWindow(*this);
    pointer_.loadHand();
    setWindowTitle(QString::fromLatin1(ui::ApplicationTitle));
    QPalette palette = ProgressBar1->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, Qt::white);
    ProgressBar1->setPalette(palette);
    List1->clearAll();
    List2->clearAll();
    Sybase::ListTables(*List1, settings_, opener_);
    Paradox::ListTables(*List2, settings_);
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClose) {
        onClose();
    }
}

void selectAll(ui::TableList& list, bool selected) {
    for (int i = 0; i < list.count(); ++i) {
        list.setSelectedAt(i, selected);
    }
}

} // namespace shell
