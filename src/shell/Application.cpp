#include "shell/Application.h"

#include "platform/ui/EventPump.h"

#include <QCoreApplication>

namespace shell {

Application::Application()
    : ownDialogs_(std::make_unique<ui::QtDialogs>()),
      ownOpener_(std::make_unique<odbc::OdbcOpener>()), dialogs_(*ownDialogs_),
      opener_(*ownOpener_), endProgram_([] { QCoreApplication::quit(); }) {
    createSetupWindow();
}

Application::Application(ui::Dialogs& dialogs, odbc::Opener& opener,
                         std::function<void()> endProgram)
    : dialogs_(dialogs), opener_(opener), endProgram_(std::move(endProgram)) {
    createSetupWindow();
}

Application::~Application() {
    form2_.reset();
    form1_.reset();
}

void Application::createSetupWindow() {
    form1_ = std::make_unique<setup::SetupWindow>(dialogs_, opener_, runner_);
    form1_->onGatePassed = [this] { showMainWindow(); };
    form1_->onClose = [this] { endProgram(); };
}

void Application::createMainWindow() {
    form2_ = std::make_unique<MainWindow>(dialogs_, *form1_, opener_, runner_);
    form2_->onSetup = [this] { showSetupWindow(); };
    form2_->onClose = [this] { endProgram(); };
}

// Work that runs stops first, so the program ends at once rather than when the
// work is done.
void Application::endProgram() {
    ui::stopLongWork();
    endProgram_();
}

void Application::start() {
    runner_.run([this] { form1_->load(); },
                [this](const QString& text) { dialogs_.message(form1_.get(), text); });
    if (!form2_ || !form2_->isVisible()) {
        form1_->show();
    }
}

// The gate passed: the main window is (re)loaded from the current settings,
// shown, and the setup window hidden. This runs inside the setup window's
// work, so a second "OK" meanwhile does nothing; a failing catalogue
// propagates to it, and the setup window stays.
void Application::showMainWindow() {
    if (!form2_) {
        createMainWindow();
    }
    form2_->load();
    form2_->show();
    form1_->hide();
}

void Application::showSetupWindow() {
    form1_->show();
    form2_->hide();
}

} // namespace shell
