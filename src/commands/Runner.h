#pragma once

// Runs the work of both windows one piece at a time.

#include "commands/Workspace.h"

#include <QString>
#include <functional>

namespace commands {

// "Error <number>", two carriage returns and the description of the exception
// being handled; the description alone when it has no number (0). Call only
// inside a catch block.
QString describeCurrentError();

// While one piece of work runs (and lets window events through), running
// another does nothing. Busy ends however the work ends.
class Runner {
public:
    using Report = std::function<void(const QString& text)>;

    // Runs work unless other work runs; true when it ran. An error that
    // escapes the work goes to report as its message text; the program ending
    // stops the work quietly.
    bool run(const std::function<void()>& work, const Report& report);
    bool busy() const { return busy_; }

private:
    bool busy_ = false;
};

// Runs a command on the workspace. An error that escapes it is shown once
// with its number and description; the pointer goes back to default and the
// progress bar to 0, and the program goes on.
void runCommand(Runner& runner, Workspace& workspace, Command command);

} // namespace commands
