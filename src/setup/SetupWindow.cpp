#include "setup/SetupWindow.h"

#include "setup/PickFolder.h"
#include "sources/Catalogues.h"
#include "sources/Target.h"
#include "widgets/CenterWindow.h"
#include "widgets/Layout.h"

#include <QCloseEvent>

namespace setup {

namespace {
const QString connected = QStringLiteral("Connection successful.");
} // namespace

void SelectAllOnFocusEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    selectAll();
}

SetupWindow::SetupWindow(userio::Dialogs& dialogs, odbc::Opener& opener, commands::Runner& runner)
    : dialogs_(dialogs), opener_(opener), runner_(runner) {
    setObjectName(QStringLiteral("SetupWindow"));
    setWindowTitle(QStringLiteral("Setup Connections"));
    createControls();
    placeControls();
    orderControls();
    widgets::applyLook(*this);
    setFont(QFont(QStringLiteral("Arial"), 9, QFont::Normal));
    addPointerRules();
    wireControls();
}

void SetupWindow::createControls() {
    paradoxFrame = new QGroupBox(QStringLiteral("Paradox Database"), this);
    folderLabel = new QLabel(QStringLiteral("Paradox Folder:"), paradoxFrame);
    folderField = new SelectAllOnFocusEdit(paradoxFrame);
    pickFolderButton = new widgets::PressButton(QStringLiteral("..."), paradoxFrame);
    testFolderButton = new widgets::PressButton(QStringLiteral("Test Connection"), this);
    dataSourceFrame = new QGroupBox(QStringLiteral("Sybase SQL Anywhere Database"), this);
    dataSourceLabel = new QLabel(QStringLiteral("Data Source Name:"), dataSourceFrame);
    dataSourceField = new SelectAllOnFocusEdit(dataSourceFrame);
    testDataSourceButton =
        new widgets::PressButton(QStringLiteral("Test Connection"), dataSourceFrame);
    helpButton = new widgets::PressButton(QStringLiteral("Help"), dataSourceFrame);
    okButton = new widgets::PressButton(QStringLiteral("OK"), this);
}

void SetupWindow::placeControls() {
    widgets::fixWindow(*this, 6375, 3645);
    widgets::place(*paradoxFrame, 120, 120, 6135, 1455);
    widgets::place(*folderLabel, 240, 405, 1455, 255);
    widgets::place(*folderField, 1680, 360, 3735, 330);
    widgets::place(*pickFolderButton, 5520, 360, 325, 330);
    widgets::place(*testFolderButton, 360, 960, 5655, 375);
    widgets::place(*dataSourceFrame, 120, 1640, 6135, 1420);
    widgets::place(*dataSourceLabel, 240, 405, 1695, 255);
    widgets::place(*dataSourceField, 2040, 360, 3855, 330);
    widgets::place(*testDataSourceButton, 120, 840, 4335, 375);
    widgets::place(*helpButton, 4560, 840, 1335, 375);
    widgets::place(*okButton, 120, 3120, 6135, 375);
    testFolderButton->raise(); // a child of the window lying inside paradoxFrame
}

void SetupWindow::orderControls() {
    const QList<QWidget*> order = {folderField,     pickFolderButton, testFolderButton,    okButton,
                                   dataSourceField, helpButton,       testDataSourceButton};
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void SetupWindow::addPointerRules() {
    auto* rules = new widgets::PointerRules(*this, *this);
    for (QWidget* button : {testDataSourceButton, okButton, testFolderButton, pickFolderButton}) {
        rules->addRule(*button, userio::CustomPointer);
    }
    for (QWidget* control :
         {static_cast<QWidget*>(paradoxFrame), static_cast<QWidget*>(dataSourceFrame),
          static_cast<QWidget*>(folderField), static_cast<QWidget*>(dataSourceField)}) {
        rules->addRule(*control, userio::DefaultPointer);
    }
    for (QWidget* control : {static_cast<QWidget*>(helpButton), static_cast<QWidget*>(folderLabel),
                             static_cast<QWidget*>(dataSourceLabel)}) {
        rules->addWithoutRule(*control);
    }
}

void SetupWindow::wireControls() {
    connect(folderField, &QLineEdit::textChanged, this,
            [this](const QString& text) { storeSetting(sources::store::ParadoxFolder, text); });
    connect(dataSourceField, &QLineEdit::textChanged, this,
            [this](const QString& text) { storeSetting(sources::store::DataSourceName, text); });
    pickFolderButton->onPress([this] { runWork(&SetupWindow::pickParadoxFolder); });
    testFolderButton->onPress([this] { runWork(&SetupWindow::testParadoxConnection); });
    testDataSourceButton->onPress([this] { runWork(&SetupWindow::testDataSource); });
    helpButton->onPress([this] { showHelp(); });
    okButton->onPress([this] { runWork(&SetupWindow::acceptSettings); });
}

// An error that escapes is shown over this window.
void SetupWindow::runWork(void (SetupWindow::*work)()) {
    runner_.run([this, work] { (this->*work)(); },
                [this](const QString& text) { dialogs_.message(this, text); });
}

// A store that cannot be written is reported once; the fields stay the live
// settings all the same.
void SetupWindow::storeSetting(const char* key, const QString& text) {
    const QString failure = sources::store::write(key, text);
    if (!failure.isEmpty() && !storeFailureShown_) {
        storeFailureShown_ = true;
        dialogs_.message(this, failure);
    }
}

void SetupWindow::load() {
    widgets::centerWindow(*this);
    pointer_.loadHand();
    folderField->setText(sources::store::read(sources::store::ParadoxFolder));
    dataSourceField->setText(sources::store::read(sources::store::DataSourceName));
    if (sources::passGate(*this, opener_) && onGatePassed) {
        onGatePassed();
    }
}

void SetupWindow::pickParadoxFolder() {
    const QString folder =
        pickFolder(*this, QStringLiteral("Please select folder to add:"), dialogs_);
    if (!folder.isEmpty()) {
        folderField->setText(folder);
    }
}

// A failed test says why on a line of its own.
void SetupWindow::testParadoxConnection() {
    const userio::BusyScope busy(*this);
    const QString reason = sources::whyParadoxFolderFails(*this);
    dialogs_.message(this, reason.isEmpty() ? connected
                                            : QStringLiteral("Could not connect.\n") + reason);
}

void SetupWindow::testDataSource() {
    const userio::BusyScope busy(*this);
    QString reason;
    try {
        const sources::Target target = sources::openTarget(*this, opener_);
    } catch (const odbc::Error& error) {
        reason = sources::whyNotOpened(error, dataSourceName());
    } catch (const std::exception& error) {
        reason = QString::fromUtf8(error.what());
    }
    dialogs_.message(this, reason.isEmpty()
                               ? connected
                               : QStringLiteral("Could not connect. Please check with your "
                                                "administrator.\n") +
                                     reason);
}

void SetupWindow::showHelp() {
    dialogs_.message(this, helpText());
}

void SetupWindow::acceptSettings() {
    const userio::BusyScope busy(*this);
    if (sources::passGate(*this, opener_) && onGatePassed) {
        onGatePassed();
    }
}

void SetupWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClose) {
        onClose();
    }
}

QString helpText() {
    const QStringList lines = {
        QStringLiteral("Here is how I connected to my Sybase ASA 6.0 database."),
        QStringLiteral("1. Downloaded and installed drivers: SQL Anywhere 10 for Windows "
                       "(SQLAnywhere_1000_Windows.exe)"),
        QStringLiteral("2. Applied for a Developer Key with Sybase, the maker of SQL Anywhere, "
                       "and received it from them."),
        QStringLiteral("3. Clicked to Start > Settings > Control Panel > Administrative Tools > "
                       "Data Source (ODBC)"),
        QStringLiteral("4. Clicked 'Add...' "),
        QStringLiteral("5. Selected 'SQL Anywhere 10'"),
        QStringLiteral("6. Filled in 'Data source name', 'User ID', 'Password', 'Server Name', "
                       "'TCP/IP' given to me by my administrator."),
        QStringLiteral("7. Clicked 'Test Connection'."),
        QStringLiteral("8. Filled in 'Data Source Name' in my program to be the same as 'Data "
                       "source name' in Data Source (ODBC)"),
        QStringLiteral("9. Clicked 'Test Connection' in my program."),
    };
    QString text;
    for (const QString& line : lines) {
        text += line + QStringLiteral("\r\r");
    }
    return text;
}

} // namespace setup
