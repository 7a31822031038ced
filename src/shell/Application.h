#pragma once

// Start-up and the hand-over between the setup window and the main window.

#include "commands/Runner.h"
#include "platform/odbc/Odbc.h"
#include "platform/ui/Dialogs.h"
#include "setup/SetupWindow.h"
#include "shell/MainWindow.h"

#include <functional>
#include <memory>

namespace shell {

class Application {
public:
    // The program itself: Qt's dialogs, the ODBC driver manager, and closing
    // a window quits the event loop.
    Application();
    // For tests: the given dialogs and opener, and endProgram on closing.
    Application(ui::Dialogs& dialogs, odbc::Opener& opener, std::function<void()> endProgram);
    ~Application();

    // Loads the setup window, which runs the connection gate, and shows it
    // unless the gate handed over to the main window.
    void start();

    // Runs the work of both windows, one piece at a time.
    commands::Runner& runner() { return runner_; }

    setup::SetupWindow& setupWindow() { return *form1_; }
    // The main window, or nullptr before its first use.
    MainWindow* mainWindow() { return form2_.get(); }

private:
    void createSetupWindow();
    void createMainWindow();
    void showMainWindow();
    void showSetupWindow();
    void endProgram();

    std::unique_ptr<ui::Dialogs> ownDialogs_;
    std::unique_ptr<odbc::Opener> ownOpener_;
    ui::Dialogs& dialogs_;
    odbc::Opener& opener_;
    std::function<void()> endProgram_;
    commands::Runner runner_;
    std::unique_ptr<setup::SetupWindow> form1_;
    std::unique_ptr<MainWindow> form2_;
};

} // namespace shell
