#include "setup/Form1.h"

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

void TextField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    selectAll();
}

Form1::Form1(ui::Dialogs& dialogs, odbc::Opener& opener, commands::Runner& runner)
    : dialogs_(dialogs), opener_(opener), runner_(runner) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Setup Connections"));
    createControls();
    placeControls();
    orderControls();
    widgets::applyLook(*this);
    setFont(QFont(QStringLiteral("Arial"), 9, QFont::Normal));
    addPointerRules();
    wireControls();
}

void Form1::createControls() {
    Frame1 = new QGroupBox(QStringLiteral("Paradox Database"), this);
    Label2 = new QLabel(QStringLiteral("Paradox Folder:"), Frame1);
    Text1 = new TextField(Frame1);
    Check5 = new widgets::PressButton(QStringLiteral("..."), Frame1);
    Check3 = new widgets::PressButton(QStringLiteral("Test Connection"), this);
    Frame2 = new QGroupBox(QStringLiteral("Sybase SQL Anywhere Database"), this);
    Label5 = new QLabel(QStringLiteral("Data Source Name:"), Frame2);
    Text2 = new TextField(Frame2);
    Check1 = new widgets::PressButton(QStringLiteral("Test Connection"), Frame2);
    Check4 = new widgets::PressButton(QStringLiteral("Help"), Frame2);
    Check2 = new widgets::PressButton(QStringLiteral("OK"), this);
}

void Form1::placeControls() {
    widgets::fixWindow(*this, 6375, 3645);
    widgets::place(*Frame1, 120, 120, 6135, 1455);
    widgets::place(*Label2, 240, 405, 1455, 255);
    widgets::place(*Text1, 1680, 360, 3735, 330);
    widgets::place(*Check5, 5520, 360, 325, 330);
    widgets::place(*Check3, 360, 960, 5655, 375);
    widgets::place(*Frame2, 120, 1640, 6135, 1420);
    widgets::place(*Label5, 240, 405, 1695, 255);
    widgets::place(*Text2, 2040, 360, 3855, 330);
    widgets::place(*Check1, 120, 840, 4335, 375);
    widgets::place(*Check4, 4560, 840, 1335, 375);
    widgets::place(*Check2, 120, 3120, 6135, 375);
    Check3->raise(); // a child of the window lying inside Frame1
}

void Form1::orderControls() {
    const QList<QWidget*> order = {Text1, Check5, Check3, Check2, Text2, Check4, Check1};
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void Form1::addPointerRules() {
    auto* rules = new widgets::PointerRules(*this, *this);
    for (QWidget* button : {Check1, Check2, Check3, Check5}) {
        rules->addRule(*button, ui::CustomPointer);
    }
    for (QWidget* control : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                             static_cast<QWidget*>(Text1), static_cast<QWidget*>(Text2)}) {
        rules->addRule(*control, ui::DefaultPointer);
    }
    for (QWidget* control : {static_cast<QWidget*>(Check4), static_cast<QWidget*>(Label2),
                             static_cast<QWidget*>(Label5)}) {
        rules->addWithoutRule(*control);
    }
}

void Form1::wireControls() {
    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString& text) { storeSetting(sources::store::ParadoxFolder, text); });
    connect(Text2, &QLineEdit::textChanged, this,
            [this](const QString& text) { storeSetting(sources::store::DataSourceName, text); });
    Check5->onPress([this] { runWork(&Form1::pickParadoxFolder); });
    Check3->onPress([this] { runWork(&Form1::testParadoxConnection); });
    Check1->onPress([this] { runWork(&Form1::testDataSource); });
    Check4->onPress([this] { showHelp(); });
    Check2->onPress([this] { runWork(&Form1::acceptSettings); });
}

// An error that escapes is shown over this window.
void Form1::runWork(void (Form1::*work)()) {
    runner_.run([this, work] { (this->*work)(); },
                [this](const QString& text) { dialogs_.message(this, text); });
}

// A store that cannot be written is reported once; the fields stay the live
// settings all the same.
void Form1::storeSetting(const char* key, const QString& text) {
    const QString failure = sources::store::write(key, text);
    if (!failure.isEmpty() && !storeFailureShown_) {
        storeFailureShown_ = true;
        dialogs_.message(this, failure);
    }
}

void Form1::Form_Load() {
    Main::CenterWindow(*this);
    pointer_.loadHand();
    Text1->setText(sources::store::read(sources::store::ParadoxFolder));
    Text2->setText(sources::store::read(sources::store::DataSourceName));
    if (sources::passGate(*this, opener_) && onGatePassed) {
        onGatePassed();
    }
}

void Form1::pickParadoxFolder() {
    const QString folder =
        AddFolder::PickFolder(*this, QStringLiteral("Please select folder to add:"), dialogs_);
    if (!folder.isEmpty()) {
        Text1->setText(folder);
    }
}

// A failed test says why on a line of its own.
void Form1::testParadoxConnection() {
    const ui::BusyScope busy(*this);
    const QString reason = Paradox::WhyNoConnection(*this);
    dialogs_.message(this, reason.isEmpty() ? connected
                                            : QStringLiteral("Could not connect.\n") + reason);
}

void Form1::testDataSource() {
    const ui::BusyScope busy(*this);
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

void Form1::showHelp() {
    dialogs_.message(this, helpText());
}

void Form1::acceptSettings() {
    const ui::BusyScope busy(*this);
    if (sources::passGate(*this, opener_) && onGatePassed) {
        onGatePassed();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
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
