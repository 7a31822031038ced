#include "code-page-texts/CodePageTexts.h"
#include "paradox-writer/ParadoxWriter.h"
#include "platform/userio/EventPump.h"
#include "setup/SetupWindow.h"
#include "shell/Application.h"
#include "sources/Catalogues.h"
#include "support/Lists.h"
#include "support/Recording.h"
#include "support/ScriptedDialogs.h"
#include "support/TestWorkspace.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeySequence>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

namespace pw = paradox_writer;
using sources::store::DataSourceName;
using sources::store::ParadoxFolder;

using testing_support::entriesOf;
using testing_support::fill;
using testing_support::touch;

namespace {

// Counts every open and fails it: for tests where no data source may be asked.
struct RefusingOpener : odbc::Opener {
    int opens = 0;
    std::unique_ptr<odbc::Connection> open(const odbc::OpenRequest&) override {
        ++opens;
        throw odbc::Error(-1, "HY000: refused by the test");
    }
};

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!database.open("SQLite")) {
            GTEST_SKIP() << testing_support::missingDataSource("SQLite").toStdString();
        }
        sources::store::write(ParadoxFolder, QString());
        sources::store::write(DataSourceName, QString());
    }

    std::unique_ptr<shell::Application> startWith(odbc::Opener& opener) {
        auto app = std::make_unique<shell::Application>(dialogs, opener, [this] { ++endings; });
        app->start();
        return app;
    }

    // A folder with a table and a data source with a table of our own.
    void storeWorkingSettings() {
        touch(folder.path() + "/Customer.db");
        table = database.createTable("startup");
        sources::store::write(ParadoxFolder, folder.path());
        sources::store::write(DataSourceName, database.name());
    }

    QTemporaryDir folder;
    testing_support::TargetDatabase database;
    testing_support::ScriptedDialogs dialogs;
    odbc::OdbcOpener real;
    testing_support::RecordingOpener opener{real};
    QString table;
    int endings = 0;
};

} // namespace

TEST_F(StartUpTest, WorkingSettingsGoStraightToTheFilledMainWindow) {
    storeWorkingSettings();
    const auto app = startWith(opener);
    ASSERT_NE(app->mainWindow(), nullptr);
    EXPECT_TRUE(app->mainWindow()->isVisible());
    EXPECT_FALSE(app->setupWindow().isVisible());
    EXPECT_EQ(app->mainWindow()->windowTitle(), "Orvandel");
    EXPECT_EQ(entriesOf(*app->mainWindow()->controls().paradoxList), QStringList{"CUSTOMER"});
    EXPECT_TRUE(entriesOf(*app->mainWindow()->controls().targetList).contains(table));
    EXPECT_EQ(app->mainWindow()->controls().targetList->current(), -1);
    app->mainWindow()->load(); // loading again replaces, never duplicates
    EXPECT_EQ(entriesOf(*app->mainWindow()->controls().paradoxList), QStringList{"CUSTOMER"});
    EXPECT_EQ(entriesOf(*app->mainWindow()->controls().targetList).count(table), 1);
    EXPECT_EQ(opener.closed, static_cast<int>(opener.opened.size()));
}

// Settings that do not pass the gate show the setup window with them,
// silently, at start and on "OK"; a folder without tables of its own never
// asks the data source.
TEST_F(StartUpTest, SettingsThatFailTheGateShowTheSetupWindow) {
    struct Case {
        const char* name;
        QString table;      // a file made in the folder, if any
        QString dataSource; // the stored data source name
        bool asks;          // the data source is asked
    };
    const std::vector<Case> cases = {
        {"no settings", QString(), QString(), false},
        {"a table in a subfolder only", "/sub/ONLY.db", "Anything", false},
        {"a data source that does not open", "/A.db", "NoSuchDataSource", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir where;
        if (!c.table.isEmpty()) {
            touch(where.path() + c.table);
        }
        const QString folderText = c.table.isEmpty() ? QString() : where.path();
        sources::store::write(ParadoxFolder, folderText);
        sources::store::write(DataSourceName, c.dataSource);
        RefusingOpener refusing;
        const auto app = startWith(refusing);
        EXPECT_TRUE(app->setupWindow().isVisible());
        EXPECT_EQ(app->setupWindow().controls().folderField->text(), folderText);
        EXPECT_EQ(app->setupWindow().controls().dataSourceField->text(), c.dataSource);
        app->setupWindow().controls().okButton->click();
        EXPECT_EQ(refusing.opens, c.asks ? 2 : 0);
        EXPECT_EQ(app->setupWindow().pointer(), userio::DefaultPointer);
        EXPECT_EQ(app->mainWindow(), nullptr);
        EXPECT_TRUE(dialogs.shown.empty());
    }
}

// Each button of the main window runs its own command: with nothing current,
// each says what it misses. Closing either window ends the program.
TEST_F(StartUpTest, EachButtonRunsItsCommandAndClosingEndsTheProgram) {
    storeWorkingSettings();
    const auto app = startWith(opener);
    shell::MainWindow& main = *app->mainWindow();
    const auto& controls = main.controls();
    const std::vector<std::pair<widgets::PressButton*, QString>> buttons = {
        {controls.sendToTargetButton, "Please select a table to send."},
        {controls.dropTablesButton, "Please select a table"},
        {controls.deleteParadoxButton, "Please select a table to delete."},
        {controls.renameTargetButton, "Please select a table to rename."},
        {controls.renameParadoxButton, "Please select a table to rename."},
    };
    for (const auto& [button, message] : buttons) {
        button->click();
        EXPECT_EQ(dialogs.messages().last(), message);
    }
    EXPECT_EQ(dialogs.messages().size(), 5);
    // Help shows the help text, its carriage returns as line breaks.
    app->setupWindow().controls().helpButton->click();
    EXPECT_TRUE(dialogs.messages().last().contains("Test Connection"));
    EXPECT_EQ(userio::displayText("a\r\rb"), "a\n\nb");

    app->setupWindow().close(); // hidden behind the main window
    EXPECT_EQ(endings, 1);
    app->mainWindow()->close();
    EXPECT_EQ(endings, 2);
}

TEST_F(StartUpTest, ClosingDuringASendEndsItAtOnce) {
    storeWorkingSettings();
    const auto app = startWith(opener);
    shell::MainWindow& main = *app->mainWindow();
    const auto& controls = main.controls();
    const QString source = testing_support::uniqueTableName("closing").toUpper();
    database.own(source);
    pw::writeTable((folder.path() + "/" + source + ".db").toStdString(),
                   testing_support::designOf({{"ID", pw::Long}}),
                   std::vector<pw::Row>(400, pw::Row{std::int64_t{1}}));
    fill(*controls.paradoxList, {source}, {source});
    // Meanwhile the other buttons of both windows do nothing; closing ends it.
    QObject::connect(controls.progressBar, &widgets::ProgressBar::percentChanged,
                     [&](double percent) {
                         if (percent >= 10 && endings == 0) {
                             for (widgets::PressButton* button :
                                  {controls.setupButton, controls.deleteParadoxButton,
                                   controls.renameParadoxButton,
                                   app->setupWindow().controls().testFolderButton}) {
                                 button->click();
                             }
                             main.close();
                         }
                     });
    controls.sendToTargetButton->click();
    EXPECT_EQ(endings, 1);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(app->setupWindow().isVisible());
    EXPECT_TRUE(QFile::exists(folder.path() + "/" + source + ".db"));
    EXPECT_FALSE(app->runner().busy());
    EXPECT_LT(database.rowsOf(source).size(), 400u);
}

TEST_F(StartUpTest, OkRebuildsTheMainWindowFromTheNewSettings) {
    storeWorkingSettings();
    const auto app = startWith(opener);
    shell::MainWindow& main = *app->mainWindow();
    const auto& controls = main.controls();
    shell::selectAll(*controls.paradoxList, true);
    controls.setupButton->click();
    EXPECT_TRUE(app->setupWindow().isVisible());
    EXPECT_FALSE(main.isVisible());

    QTemporaryDir other;
    touch(other.path() + "/Fresh.DB");
    app->setupWindow().controls().folderField->setText(other.path());
    app->setupWindow().controls().okButton->click();
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(app->setupWindow().isVisible());
    EXPECT_EQ(entriesOf(*controls.paradoxList), QStringList{"FRESH"});
    EXPECT_EQ(controls.paradoxList->selectedCount(), 0);
    EXPECT_EQ(entriesOf(*controls.targetList).count(table), 1);
    EXPECT_EQ(app->setupWindow().pointer(), userio::DefaultPointer);
}

// The setup window's work and the main window's load run one at a time: a
// second "OK" while the main window loads does nothing.
TEST_F(StartUpTest, ASecondOkWhileTheMainWindowLoadsDoesNothing) {
    storeWorkingSettings();
    const auto app = startWith(opener);
    shell::MainWindow& main = *app->mainWindow();
    const auto& controls = main.controls();
    controls.setupButton->click();
    QTest::qWait(20); // the load lets events through at its first chance
    bool firstDone = false;
    bool pressedDuringLoad = false;
    QTimer::singleShot(0, &app->setupWindow(), [&] {
        pressedDuringLoad = !firstDone;
        app->setupWindow().controls().okButton->click();
    });
    app->setupWindow().controls().okButton->click();
    firstDone = true;
    ASSERT_TRUE(pressedDuringLoad);
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(entriesOf(*controls.paradoxList), QStringList{"CUSTOMER"});
    EXPECT_EQ(entriesOf(*controls.targetList).count(table), 1);
}

TEST_F(StartUpTest, AFailingCatalogueIsReportedAndSetupStays) {
    // The gate passes, then the catalogue fails.
    struct FlakyOpener : odbc::Opener {
        odbc::Opener& real;
        int opens = 0;
        explicit FlakyOpener(odbc::Opener& r) : real(r) {}
        std::unique_ptr<odbc::Connection> open(const odbc::OpenRequest& request) override {
            if (++opens > 1) {
                throw odbc::Error(42, "08001: gone away");
            }
            return real.open(request);
        }
    };
    storeWorkingSettings();
    FlakyOpener flaky(real);
    const auto app = startWith(flaky);
    EXPECT_EQ(dialogs.messages(), QStringList{"Error 42\r\r08001: gone away"});
    EXPECT_TRUE(app->setupWindow().isVisible());
    EXPECT_FALSE(app->mainWindow()->isVisible());
}

namespace {

class SetupWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sources::store::write(ParadoxFolder, "typed before");
        sources::store::write(DataSourceName, QString());
    }
    testing_support::ScriptedDialogs dialogs;
    odbc::OdbcOpener real;
    commands::Runner runner;
    setup::SetupWindow form{dialogs, real, runner};
};

} // namespace

// A failed test keeps its sentence and says why on a line of its own; keys
// typed after the name (a password) stay out of it.
TEST_F(SetupWindowTest, TheDataSourceTestReportsFailureInItsOwnWordsAndWhy) {
    const QString failed = "Could not connect. Please check with your administrator.\n";
    const QStringList files = odbc::dataSourceFiles();
    const QString undefined = failed +
                              "The data source \"NoSuchDataSource\" is not defined: unixODBC "
                              "looks for it in " +
                              files[0] + " (your data sources) and " + files[1] +
                              " (those of the system).";
    struct Case {
        QString typed;
        QString shown;      // the whole message, or
        QString secondLine; // the start of its second line
    };
    std::vector<Case> cases = {
        {"", failed + "No data source name is given.", {}},
        {"NoSuchDataSource", undefined, {}},
        {" NoSuchDataSource ;UID=me;PWD=secret", undefined, {}},
    };
    if (const auto noDriver = testing_support::dataSourceOf("NoDriver")) {
        cases.push_back({*noDriver,
                         {},
                         "The driver of the data source \"" + *noDriver + "\" cannot be loaded: "});
    }
    if (const auto password = testing_support::dataSourceOf("Password")) {
        cases.push_back({*password + ";PWD=secret", {}, "08001: "}); // the driver's own text
    }
    for (const char* kind : {"SQLite", "PostgreSQL", "MariaDB"}) {
        if (const auto dsn = testing_support::dataSourceOf(kind)) {
            cases.push_back({*dsn, "Connection successful.", {}});
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        form.controls().dataSourceField->setText(c.typed);
        dialogs.shown.clear();
        form.controls().testDataSourceButton->click();
        ASSERT_EQ(dialogs.messages().size(), 1);
        const QString shown = dialogs.messages()[0];
        if (c.secondLine.isEmpty()) {
            EXPECT_EQ(shown, c.shown) << shown.toStdString();
        } else {
            EXPECT_TRUE(shown.startsWith(failed + c.secondLine)) << shown.toStdString();
        }
        EXPECT_FALSE(shown.contains("secret"));
        EXPECT_EQ(form.pointer(), userio::DefaultPointer);
    }
}

// Only a table file ("*.db", any letter case) in the folder itself passes:
// memo and index files, other files and tables in a subfolder do not. A
// failed test says why on a line of its own.
TEST_F(SetupWindowTest, TheFolderTestNeedsTablesInTheFolderItself) {
    const QString failed = "Could not connect.\n";
    const QString passed = "Connection successful.";
    QTemporaryDir base;
    touch(base.path() + "/plain-file");
    const QString tables = base.path() + "/tables";
    const std::vector<std::tuple<QString, QStringList, QString>> cases = {
        {tables,
         {"/X.MB", "/X.PX", "/readme.txt", "/sub/ONLY.db", "/Old.db/IN.db"},
         failed + "The folder \"%1\" holds no Paradox table (no *.db file)."},
        {tables, {"/x.Db"}, passed},
        {"", {}, failed + "No Paradox folder is given."},
        {base.path() + "/gone", {}, failed + "The folder \"%1\" does not exist."},
        {base.path() + "/plain-file", {}, failed + "\"%1\" is not a folder."},
    };
    for (const auto& [folder, files, expected] : cases) {
        SCOPED_TRACE(folder.toStdString() + ": " + files.join(' ').toStdString());
        if (folder == tables) {
            QDir(folder).removeRecursively();
        }
        for (const QString& file : files) {
            touch(folder + file);
        }
        form.controls().folderField->setText(folder);
        int busyDuringMessage = 0;
        dialogs.whileOpen = [&] { busyDuringMessage = form.pointer(); };
        dialogs.shown.clear();
        form.controls().testFolderButton->click();
        EXPECT_EQ(dialogs.messages(), QStringList{QString(expected).replace("%1", folder)});
        EXPECT_EQ(busyDuringMessage, userio::BusyPointer);
        EXPECT_EQ(form.pointer(), userio::DefaultPointer);
    }
}

TEST_F(SetupWindowTest, FocusSelectsTheWholeText) {
    form.load();
    form.show();
    QApplication::setActiveWindow(&form);
    const auto& controls = form.controls();
    controls.folderField->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(controls.folderField->selectedText(), "typed before");
    QTest::keyClicks(controls.folderField, "ab");
    EXPECT_EQ(controls.folderField->text(), "ab");
}

TEST_F(SetupWindowTest, APickedFolderIsStoredAtOnceAndACancelChangesNothing) {
    const auto& controls = form.controls();
    form.load();
    dialogs.folders = {QString()};
    controls.pickFolderButton->click();
    EXPECT_EQ(controls.folderField->text(), "typed before");
    EXPECT_EQ(sources::store::read(ParadoxFolder), "typed before");
    dialogs.folders = {"/tmp/picked"};
    controls.pickFolderButton->click();
    EXPECT_EQ(dialogs.shown.at(0).title, "Please select folder to add:");
    EXPECT_EQ(controls.folderField->text(), "/tmp/picked");
    EXPECT_EQ(sources::store::read(ParadoxFolder), "/tmp/picked");
}

TEST(MainWindow, SelectionButtonsAndTheInertButton) {
    testing_support::ScriptedDialogs dialogs;
    testing_support::FixedSettings settings;
    RefusingOpener refusing;
    commands::Runner runner;
    shell::MainWindow window(dialogs, settings, refusing, runner);
    const auto& controls = window.controls();
    controls.selectAllParadoxButton->click(); // an empty list: nothing to do
    controls.deselectAllParadoxButton->click();
    EXPECT_EQ(controls.paradoxList->count(), 0);
    for (const char* name : {"b", "a", "c"}) {
        controls.targetList->add(name);
    }
    controls.paradoxList->add("X");
    EXPECT_EQ(entriesOf(*controls.targetList), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(controls.targetList->current(), -1);

    controls.selectAllTargetButton->click();
    EXPECT_EQ(controls.targetList->selectedCount(), 3);
    EXPECT_EQ(controls.paradoxList->selectedCount(), 0);
    EXPECT_EQ(controls.selectAllTargetButton->value(), 0);
    controls.deselectAllTargetButton->click();
    EXPECT_EQ(controls.targetList->selectedCount(), 0);
    controls.selectAllParadoxButton->click();
    EXPECT_EQ(controls.paradoxList->selectedCount(), 1);
    controls.deselectAllParadoxButton->click();
    EXPECT_EQ(controls.paradoxList->selectedCount(), 0);

    EXPECT_FALSE(controls.sendToParadoxButton->isEnabled());
    EXPECT_FALSE(controls.sendToParadoxButton->hasAction());
    // Shown with one "&" and no mnemonic: drawn as wide as the plain text.
    const QFontMetrics metrics(controls.setupButton->font());
    EXPECT_EQ(metrics.size(Qt::TextShowMnemonic, controls.setupButton->text()),
              metrics.size(0, "Setup Sybase ASA & Paradox Connections"));
    EXPECT_TRUE(QKeySequence::mnemonic(controls.setupButton->text()).isEmpty());
    // A screen reader names both lists and the bar.
    const std::pair<QWidget*, QString> named[] = {
        {controls.targetList, "Tables in the data source"},
        {controls.paradoxList, "Paradox tables"},
        {controls.progressBar, "Progress of the send"}};
    for (const auto& [widget, name] : named) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), name);
    }
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(refusing.opens, 0);
}

TEST(MainWindow, ListsSortAlphabeticallyWithoutRegardToCase) {
    widgets::TableListWidget list(nullptr);
    for (const char* name : {"Zeta", "alpha", "CUSTOMER", "Order Details", "aaa"}) {
        list.add(name);
    }
    list.add("Client"); // added later, as a rename does
    EXPECT_EQ(entriesOf(list),
              (QStringList{"aaa", "alpha", "Client", "CUSTOMER", "Order Details", "Zeta"}));
    EXPECT_EQ(list.current(), -1);
}

TEST(MainWindow, AClickInAListTogglesAnEntryWithoutAModifier) {
    testing_support::ScriptedDialogs dialogs;
    testing_support::FixedSettings settings;
    RefusingOpener refusing;
    commands::Runner runner;
    shell::MainWindow window(dialogs, settings, refusing, runner);
    const auto& controls = window.controls();
    window.show();
    controls.paradoxList->add("A");
    controls.paradoxList->add("B");
    const auto clickAt = [&](int row) {
        const QRect rect = controls.paradoxList->visualItemRect(controls.paradoxList->item(row));
        QTest::mouseClick(controls.paradoxList->viewport(), Qt::LeftButton, {}, rect.center());
    };
    clickAt(0);
    clickAt(1);
    EXPECT_EQ(controls.paradoxList->selectedCount(), 2);
    clickAt(0);
    EXPECT_EQ(controls.paradoxList->selectedCount(), 1);
    EXPECT_EQ(controls.paradoxList->current(), 0);
}

// A Paradox table's tooltip says when its text is read in another code page
// than its header names, and nothing when it is not.
TEST(MainWindow, TheParadoxListsTooltipNamesAnotherCodePage) {
    testing_support::ScriptedDialogs dialogs;
    testing_support::FixedSettings settings;
    RefusingOpener refusing;
    commands::Runner runner;
    const QTemporaryDir folder;
    settings.folder = folder.path();
    paradox_writer::TableDesign design;
    design.columns = {{"NAME", paradox_writer::Alpha, 80}};
    for (const auto* texts :
         {&code_page_texts::foreignTexts().at(0), &code_page_texts::westernTexts().at(1)}) {
        std::vector<paradox_writer::Row> rows;
        for (const std::string& value : texts->values)
            rows.push_back({code_page_texts::encodeIn(value, texts->codePage)});
        paradox_writer::writeTable(folder.path().toStdString() + '/' + texts->language + ".db",
                                   design, rows);
    }
    shell::MainWindow window(dialogs, settings, refusing, runner);
    const auto& controls = window.controls();
    window.show();
    sources::listParadoxTables(*controls.paradoxList, settings);
    const auto tipOf = [&](int row) {
        const QRect rect = controls.paradoxList->visualItemRect(controls.paradoxList->item(row));
        QWidget* viewport = controls.paradoxList->viewport();
        QHelpEvent event(QEvent::ToolTip, rect.center(), viewport->mapToGlobal(rect.center()));
        QCoreApplication::sendEvent(viewport, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    ASSERT_EQ(entriesOf(*controls.paradoxList), (QStringList{"GERMAN", "RUSSIAN"}));
    EXPECT_EQ(tipOf(0), QString());
    EXPECT_TRUE(tipOf(1).startsWith(
        "Text read in code page 1251 (Cyrillic); the header names 1252.\nWhy: "))
        << tipOf(1).toStdString();
    // The program is asked to end while a command lets events through; a tip
    // whose table is not in the folder walks its subfolders and stops there.
    controls.paradoxList->add("ELSEWHERE");
    const userio::LongWork command;
    userio::stopLongWork();
    EXPECT_NO_THROW(tipOf(0));
}

namespace {

// Each test starts and ends without a settings file. Values that could not be
// stored stay pending in the process until a write succeeds, so one is made
// before the file goes.
class Settings : public ::testing::Test {
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }

    void clear() const {
        if (QFileInfo(file).isDir()) {
            QDir(file).removeRecursively();
        }
        EXPECT_EQ(sources::store::write(ParadoxFolder, QString()), QString());
        QFile::remove(file);
    }

    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Marrowfen.conf";
    testing_support::ScriptedDialogs dialogs;
    RefusingOpener refusing;
};

} // namespace

TEST_F(Settings, AStoreThatCannotBeWrittenIsReportedOnceAndTheFieldsStayLive) {
    ASSERT_TRUE(QDir().mkpath(file)); // a folder where the file belongs, even for root
    {
        shell::Application app(dialogs, refusing, [] {});
        app.start();
        app.setupWindow().controls().folderField->setText("/first");
        app.setupWindow().controls().dataSourceField->setText("Second");
        EXPECT_EQ(app.setupWindow().paradoxFolder(), "/first");
        EXPECT_EQ(app.setupWindow().dataSourceName(), "Second");
    }
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith("The settings could not be stored: " + file +
                                                 " is a folder"))
        << dialogs.messages()[0].toStdString();
}

TEST_F(Settings, AreWrittenOnEveryChangeAndReadBackOnTheNextStart) {
    {
        shell::Application first(dialogs, refusing, [] {});
        first.start();
        EXPECT_FALSE(QFile::exists(file)); // a first run writes nothing
        QStringList written;
        QObject::connect(first.setupWindow().controls().folderField, &QLineEdit::textChanged,
                         [&] { written << sources::store::read(ParadoxFolder); });
        first.setupWindow().show();
        first.setupWindow().controls().folderField->setFocus();
        QTest::keyClicks(first.setupWindow().controls().folderField, "/data");
        EXPECT_EQ(written, (QStringList{"/", "/d", "/da", "/dat", "/data"}));
        first.setupWindow().controls().dataSourceField->setText("Accounts");
    }
    {
        shell::Application again(dialogs, refusing, [] {});
        again.start();
        EXPECT_EQ(again.setupWindow().controls().folderField->text(), "/data");
        EXPECT_EQ(again.setupWindow().controls().dataSourceField->text(), "Accounts");
        again.setupWindow().controls().dataSourceField->clear();
    }
    QSettings stored(file, QSettings::IniFormat);
    EXPECT_EQ(stored.value("Orvandel/ParadoxFolder").toString(), "/data");
    EXPECT_TRUE(stored.contains("Orvandel/DataSourceName"));
    EXPECT_EQ(stored.value("Orvandel/DataSourceName").toString(), QString());
}
