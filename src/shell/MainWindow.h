#pragma once

// The main window: the data source's tables on the left, the Paradox tables
// on the right, and the commands on both.

#include "commands/Runner.h"
#include "widgets/Controls.h"
#include "widgets/Pointer.h"

#include <QGroupBox>
#include <QWidget>

namespace shell {

class MainWindow : public QWidget, public userio::PointerSetting {
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

    QGroupBox* targetFrame;
    widgets::TableListWidget* targetList;
    widgets::PressButton* selectAllTargetButton;
    widgets::PressButton* deselectAllTargetButton;
    widgets::PressButton* sendToParadoxButton;
    widgets::PressButton* dropTablesButton;
    widgets::PressButton* renameTargetButton;
    QGroupBox* paradoxFrame;
    widgets::TableListWidget* paradoxList;
    widgets::PressButton* selectAllParadoxButton;
    widgets::PressButton* deselectAllParadoxButton;
    widgets::PressButton* sendToTargetButton;
    widgets::PressButton* deleteParadoxButton;
    widgets::PressButton* renameParadoxButton;
    widgets::ProgressBar* progressBar;
    widgets::PressButton* setupButton;

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
