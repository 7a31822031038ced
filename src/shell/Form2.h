#pragma once

// The main window: the data source's tables on the left, the Paradox tables
// on the right, and the commands on both.

#include "shell/Command.h"
#include "shell/Pointer.h"

#include <QGroupBox>
#include <QWidget>
#include <optional>

namespace shell {

class Form2 : public QWidget, public PointerSetting {
    Q_OBJECT
public:
    Form2(ui::Dialogs& dialogs, const sources::LiveSettings& settings, odbc::Opener& opener);

    // Centres the window, loads the hand pointer, sets the caption and the
    // bar colour, and refills both lists. Errors of the catalogues propagate.
    void Form_Load();

    int pointer() const override { return pointer_.setting(); }
    void setPointer(int setting) override { pointer_.set(setting); }

    // Wired by the application: what the setup button and closing do.
    std::function<void()> onSetup;
    std::function<void()> onClose;

    CommandRunner& commands() { return *runner_; }

    QGroupBox* Frame1;
    TableListWidget* List1;
    PressButton* Check10;
    PressButton* Check11;
    PressButton* Check3;
    PressButton* Check1;
    PressButton* Check6;
    QGroupBox* Frame2;
    TableListWidget* List2;
    PressButton* Check8;
    PressButton* Check9;
    PressButton* Check4;
    PressButton* Check5;
    PressButton* Check7;
    Progress* ProgressBar1;
    PressButton* Check2;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void placeControls();
    void orderControls();
    void addPointerRules();
    void wireSelectionButtons();
    void wireCommands();
    void runCommand(void (*command)(MainWindowParts&));
    void openSetup();

    ui::Dialogs& dialogs_;
    const sources::LiveSettings& settings_;
    odbc::Opener& opener_;
    WindowPointer pointer_{*this};
    std::optional<CommandRunner> runner_;
};

// Sets or clears the selected flag of every entry.
void selectAll(ui::TableList& list, bool selected);

} // namespace shell
