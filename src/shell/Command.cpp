#include "shell/Command.h"

#include "platform/paradox/Paradox.h"
#include "platform/ui/EventPump.h"

#include <filesystem>

namespace shell {

namespace {
QString errorText(const QString& number, const QString& description) {
    return QStringLiteral("Error %1\r\r%2").arg(number, description);
}
} // namespace

QString describeCurrentError() {
    try {
        throw;
    } catch (const odbc::Error& error) {
        return errorText(QString::number(error.number()), error.description());
    } catch (const std::filesystem::filesystem_error& error) {
        return errorText(QString::number(error.code().value()),
                         QString::fromLocal8Bit(error.what()));
    } catch (const paradox::Error& error) {
        return errorText(QStringLiteral("0"), QString::fromUtf8(error.what()));
    } catch (const std::exception& error) {
        return errorText(QStringLiteral("0"), QString::fromUtf8(error.what()));
    }
}

void CommandRunner::run(const std::function<void(MainWindowParts&)>& command) {
    if (busy_) {
        return;
    }
    busy_ = true;
    const ui::LongWork work;
    try {
        command(parts_);
    } catch (const std::exception&) {
        showError(describeCurrentError());
    } catch (const ui::ProgramEnding&) {
        // The program ends: the command stops where it was, nothing to show.
    }
    busy_ = false;
}

void CommandRunner::showError(const QString& text) {
    parts_.pointer.setPointer(DefaultPointer);
    parts_.progress.setPercent(0);
    parts_.dialogs.message(&parts_.window, text);
}

} // namespace shell
