#include "commands/Runner.h"

#include "platform/userio/EventPump.h"

#include <filesystem>

namespace commands {

namespace {

// The number heads the text only where there is one: the program's own
// checks and some driver messages have none.
QString errorText(long number, const QString& description) {
    if (number == 0) {
        return description;
    }
    return QStringLiteral("Error %1\r\r%2").arg(number).arg(description);
}

// Sets the flag for as long as it lives.
class BusyFlag {
public:
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& flag_;
};

} // namespace

QString describeCurrentError() {
    try {
        throw;
    } catch (const odbc::Error& error) {
        return errorText(error.number(), error.description());
    } catch (const std::filesystem::filesystem_error& error) {
        return errorText(error.code().value(), QString::fromLocal8Bit(error.what()));
    } catch (const std::exception& error) {
        return errorText(0, QString::fromUtf8(error.what()));
    }
}

bool Runner::run(const std::function<void()>& work, const Report& report) {
    if (busy_) {
        return false;
    }
    const BusyFlag busy(busy_);
    const userio::LongWork longWork;
    try {
        work();
    } catch (const std::exception&) {
        report(describeCurrentError());
    } catch (const userio::ProgramEnding&) {
        // The program ends: the work stops where it was, nothing to show.
    }
    return true;
}

void runCommand(Runner& runner, Workspace& workspace, Command command) {
    runner.run([&] { command(workspace); },
               [&](const QString& text) {
                   workspace.pointer.setPointer(userio::DefaultPointer);
                   workspace.progress.setPercent(0);
                   workspace.dialogs.message(workspace.owner, text);
               });
}

} // namespace commands
