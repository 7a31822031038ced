#pragma once

// Start-up and the hand-over between the setup window and the main window.

#include "commands/Runner.h"
#include "platform/odbc/Odbc.h"
#include "platform/userio/Dialogs.h"
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
    Application(userio::Dialogs& dialogs, odbc::Opener& opener, std::function<void()> endProgram);
    ~Application();

    // Loads the setup window, which runs the connection gate, and shows it
    // unless the gate handed over to the main window.
    void start();

    // Runs the work of both windows, one piece at a time.
    commands::Runner& runner() { return runner_; }

    setup::SetupWindow& setupWindow() { return *setupWindow_; }
    // The main window, or nullptr before its first use.
    MainWindow* mainWindow() { return mainWindow_.get(); }

private:
    void createSetupWindow();
    void createMainWindow();
    void showMainWindow();
    void showSetupWindow();
    void endProgram();

    std::unique_ptr<userio::Dialogs> ownDialogs_;
    std::unique_ptr<odbc::Opener> ownOpener_;
    userio::Dialogs& dialogs_;
    odbc::Opener& opener_;
    std::function<void()> endProgram_;
    commands::Runner runner_;
    std::unique_ptr<setup::SetupWindow> setupWindow_;
    std::unique_ptr<MainWindow> mainWindow_;
};

} // namespace shell
