#include "shell/Application.h"

#include "platform/userio/EventPump.h"

#include <QCoreApplication>

namespace shell {

Application::Application()
    : ownDialogs_(std::make_unique<userio::QtDialogs>()),
      ownOpener_(std::make_unique<odbc::OdbcOpener>()), dialogs_(*ownDialogs_),
      opener_(*ownOpener_), endProgram_([] { QCoreApplication::quit(); }) {
    createSetupWindow();
}

Application::Application(userio::Dialogs& dialogs, odbc::Opener& opener,
                         std::function<void()> endProgram)
    : dialogs_(dialogs), opener_(opener), endProgram_(std::move(endProgram)) {
    createSetupWindow();
}

Application::~Application() {
    mainWindow_.reset();
    setupWindow_.reset();
}

void Application::createSetupWindow() {
    setupWindow_ = std::make_unique<setup::SetupWindow>(dialogs_, opener_, runner_);
    setupWindow_->onGatePassed = [this] { showMainWindow(); };
    setupWindow_->onClose = [this] { endProgram(); };
}

void Application::createMainWindow() {
    mainWindow_ = std::make_unique<MainWindow>(dialogs_, *setupWindow_, opener_, runner_);
    mainWindow_->onSetup = [this] { showSetupWindow(); };
    mainWindow_->onClose = [this] { endProgram(); };
}

// Work that runs stops first, so the program ends at once rather than when the
// work is done.
void Application::endProgram() {
    userio::stopLongWork();
    endProgram_();
}

void Application::start() {
    runner_.run([this] { setupWindow_->load(); },
                [this](const QString& text) { dialogs_.message(setupWindow_.get(), text); });
    if (!mainWindow_ || !mainWindow_->isVisible()) {
        setupWindow_->show();
    }
}

// The gate passed: the main window is (re)loaded from the current settings,
// shown, and the setup window hidden. This runs inside the setup window's
// work, so a second "OK" meanwhile does nothing; a failing catalogue
// propagates to it, and the setup window stays.
void Application::showMainWindow() {
    if (!mainWindow_) {
        createMainWindow();
    }
    mainWindow_->load();
    mainWindow_->show();
    setupWindow_->hide();
}

void Application::showSetupWindow() {
    setupWindow_->show();
    mainWindow_->hide();
}

} // namespace shell
