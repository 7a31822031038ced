#pragma once

// What the main window's commands work with, and how they run.

#include "platform/odbc/Odbc.h"
#include "platform/ui/Dialogs.h"
#include "shell/Controls.h"
#include "sources/Settings.h"

#include <functional>

namespace shell {

// Window pointer settings.
enum Pointer : int { DefaultPointer = 0, BusyPointer = 11, CustomPointer = 99 };

class PointerSetting {
public:
    virtual ~PointerSetting() = default;
    virtual int pointer() const = 0;
    virtual void setPointer(int setting) = 0;
};

// Shows the busy pointer for as long as it lives, then the default pointer.
class BusyScope {
public:
    explicit BusyScope(PointerSetting& pointer) : pointer_(pointer) {
        pointer_.setPointer(BusyPointer);
    }
    ~BusyScope() { pointer_.setPointer(DefaultPointer); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    PointerSetting& pointer_;
};

// "Error <number>", two carriage returns and the description of the exception
// being handled. Call only inside a catch block.
QString describeCurrentError();

struct MainWindowParts {
    QWidget& window;
    ui::TableList& list1; // tables of the data source
    ui::TableList& list2; // Paradox tables
    Progress& progress;
    PointerSetting& pointer;
    ui::Dialogs& dialogs;
    const sources::LiveSettings& settings;
    odbc::Opener& opener;
};

// Runs one command that works on a database or the Paradox files. While one
// runs, another does nothing. An error that escapes the command is shown once
// with its number and description; the pointer goes back to default and the
// progress bar to 0, and the program goes on.
class CommandRunner {
public:
    explicit CommandRunner(MainWindowParts parts) : parts_(parts) {}
    void run(const std::function<void(MainWindowParts&)>& command);
    bool busy() const { return busy_; }

private:
    void showError(const QString& text);
    MainWindowParts parts_;
    bool busy_ = false;
};

} // namespace shell
