#pragma once

// The "Setup Connections" window: the two connection settings, their tests,
// a how-to text and the way on to the main window.

#include "commands/Runner.h"
#include "widgets/Controls.h"
#include "widgets/Pointer.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <functional>

namespace setup {

// A text field that selects its whole text when it gains the focus.
class SelectAllOnFocusEdit : public QLineEdit {
public:
    explicit SelectAllOnFocusEdit(QWidget* parent) : QLineEdit(parent) {}

protected:
    void focusInEvent(QFocusEvent* event) override;
};

// The controls of the setup window. The window alone changes them; tests and the window
// pictures reach them through SetupWindow::controls().
struct SetupWindowControls {
    QGroupBox* paradoxFrame = nullptr;
    QLabel* folderLabel = nullptr;
    SelectAllOnFocusEdit* folderField = nullptr;
    widgets::PressButton* pickFolderButton = nullptr;
    widgets::PressButton* testFolderButton = nullptr;
    QGroupBox* dataSourceFrame = nullptr;
    QLabel* dataSourceLabel = nullptr;
    SelectAllOnFocusEdit* dataSourceField = nullptr;
    widgets::PressButton* testDataSourceButton = nullptr;
    widgets::PressButton* helpButton = nullptr;
    widgets::PressButton* okButton = nullptr;
};

class SetupWindow : public QWidget,
                    public sources::ConnectionSettings,
                    public userio::PointerSetting,
                    private SetupWindowControls {
    Q_OBJECT
public:
    // The buttons that test or change the settings run through runner.
    SetupWindow(userio::Dialogs& dialogs, odbc::Opener& opener, commands::Runner& runner);

    // Centres the window, loads the hand pointer, fills both fields from the
    // settings store and runs the connection gate; onGatePassed runs when it
    // passes.
    void load();

    QString paradoxFolder() const override { return folderField->text(); }
    QString dataSourceName() const override { return dataSourceField->text(); }

    int pointer() const override { return pointer_.setting(); }
    void setPointer(int setting) override { pointer_.set(setting); }

    // Wired by the application: the hand-over to the main window, and closing.
    std::function<void()> onGatePassed;
    std::function<void()> onClose;

    using Controls = SetupWindowControls;
    const Controls& controls() const { return *this; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void placeControls();
    void orderControls();
    void addPointerRules();
    void wireControls();
    void runWork(void (SetupWindow::*work)());
    void storeSetting(const char* key, const QString& text);

    void pickParadoxFolder();
    void testParadoxConnection();
    void testDataSource();
    void showHelp();
    void acceptSettings();

    userio::Dialogs& dialogs_;
    odbc::Opener& opener_;
    commands::Runner& runner_;
    widgets::WindowPointer pointer_{*this};
    bool storeFailureShown_ = false;
};

// The how-to text for setting up the data source.
QString helpText();

} // namespace setup
