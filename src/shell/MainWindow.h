#pragma once

// The main window: the data source's tables on the left, the Paradox tables
// on the right, and the commands on both.

#include "commands/Runner.h"
#include "widgets/Controls.h"
#include "widgets/Pointer.h"

#include <QGroupBox>
#include <QWidget>

namespace shell {

// The controls of the main window. The window alone changes them; tests and the window
// pictures reach them through MainWindow::controls().
struct MainWindowControls {
    QGroupBox* targetFrame = nullptr;
    widgets::TableListWidget* targetList = nullptr;
    widgets::PressButton* selectAllTargetButton = nullptr;
    widgets::PressButton* deselectAllTargetButton = nullptr;
    widgets::PressButton* sendToParadoxButton = nullptr;
    widgets::PressButton* dropTablesButton = nullptr;
    widgets::PressButton* renameTargetButton = nullptr;
    QGroupBox* paradoxFrame = nullptr;
    widgets::TableListWidget* paradoxList = nullptr;
    widgets::PressButton* selectAllParadoxButton = nullptr;
    widgets::PressButton* deselectAllParadoxButton = nullptr;
    widgets::PressButton* sendToTargetButton = nullptr;
    widgets::PressButton* deleteParadoxButton = nullptr;
    widgets::PressButton* renameParadoxButton = nullptr;
    widgets::ProgressBar* progressBar = nullptr;
    widgets::PressButton* setupButton = nullptr;
};

class MainWindow : public QWidget, public userio::PointerSetting, private MainWindowControls {
    Q_OBJECT
public:
    // The commands and the setup button run through runner.
    MainWindow(userio::Dialogs& dialogs, const sources::ConnectionSettings& settings,
               odbc::Opener& opener, commands::Runner& runner);

    // Centres the window, loads the hand pointer, sets the caption and the
    // bar colour, and refills both lists. Errors of the catalogues propagate.
    void load();

    int pointer() const override { return pointer_.setting(); }
    void setPointer(int setting) override { pointer_.set(setting); }

    // Wired by the application: what the setup button and closing do.
    std::function<void()> onSetup;
    std::function<void()> onClose;

    commands::Runner& runner() { return runner_; }
    // What the commands work on: this window's lists, bar and pointer.
    commands::Workspace workspace();

    using Controls = MainWindowControls;
    const Controls& controls() const { return *this; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void placeControls();
    void orderControls();
    void addPointerRules();
    void wireSelectionButtons();
    void wireCommands();
    void runCommand(commands::Command command);
    void openSetup();

    userio::Dialogs& dialogs_;
    const sources::ConnectionSettings& settings_;
    odbc::Opener& opener_;
    commands::Runner& runner_;
    widgets::WindowPointer pointer_{*this};
};

// Sets or clears the selected flag of every entry.
void selectAll(userio::TableList& list, bool selected);

} // namespace shell
