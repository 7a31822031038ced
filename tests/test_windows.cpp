#include "setup/Form1.h"
#include "shell/Application.h"
#include "support/Databases.h"
#include "support/IsolatedSettings.h"
#include "support/Lists.h"
#include "paradox-writer/ParadoxWriter.h"
#include "support/Recording.h"
#include "support/ScriptedDialogs.h"
#include "transfer/Statements.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QKeySequence>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace pw = paradox_writer;
using sources::store::DataSourceName;
using sources::store::ParadoxFolder;

using testing_support::entriesOf;
using testing_support::fill;
using testing_support::touch;

namespace {

[[maybe_unused]] ::testing::Environment* const settingsEnvironment =
    testing_support::isolateSettings();

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
        const auto dsn = testing_support::sqliteDataSource();
        if (!dsn) {
            GTEST_SKIP() << testing_support::missingDataSource("SQLite").toStdString();
        }
        touch(folder.path() + "/Customer.db");
        database = testing_support::openDataSource(*dsn);
        table = testing_support::uniqueTableName("startup");
        database->execute("CREATE TABLE " + transfer::quotedName(table) + "(a TEXT)");
        sources::store::write(ParadoxFolder, folder.path());
        sources::store::write(DataSourceName, *dsn);
    }

    void TearDown() override {
        if (database) {
            testing_support::dropTableIfExists(*database, table);
        }
    }

    QTemporaryDir folder;
    testing_support::ScriptedDialogs dialogs;
    odbc::OdbcOpener real;
    testing_support::RecordingOpener opener{real};
    std::unique_ptr<odbc::Connection> database;
    QString table;
    int endings = 0;
};

} // namespace

TEST_F(StartUpTest, WithoutSettingsTheSetupWindowShowsEmptyFields) {
    RefusingOpener refusing;
    const auto app = startWith(refusing);
    EXPECT_TRUE(app->setupWindow().isVisible());
    EXPECT_EQ(app->setupWindow().Text1->text(), QString());
    EXPECT_EQ(app->setupWindow().Text2->text(), QString());
    EXPECT_EQ(refusing.opens, 0);
    EXPECT_EQ(app->mainWindow(), nullptr);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartUpTest, WorkingSettingsGoStraightToTheFilledMainWindow) {
    storeWorkingSettings();
    const auto app = startWith(opener);
    ASSERT_NE(app->mainWindow(), nullptr);
    EXPECT_TRUE(app->mainWindow()->isVisible());
    EXPECT_FALSE(app->setupWindow().isVisible());
    EXPECT_EQ(app->mainWindow()->windowTitle(), "Orvandel");
    EXPECT_EQ(entriesOf(*app->mainWindow()->List2), QStringList{"CUSTOMER"});
    EXPECT_TRUE(entriesOf(*app->mainWindow()->List1).contains(table));
    EXPECT_EQ(app->mainWindow()->List1->current(), -1);
    app->mainWindow()->Form_Load(); // loading again replaces, never duplicates
    EXPECT_EQ(entriesOf(*app->mainWindow()->List2), QStringList{"CUSTOMER"});
    EXPECT_EQ(entriesOf(*app->mainWindow()->List1).count(table), 1);
    EXPECT_EQ(opener.closed, static_cast<int>(opener.opened.size()));
}

TEST_F(StartUpTest, AFolderWithoutTablesShowsSetupAndNeverAsksTheDataSource) {
    touch(folder.path() + "/sub/ONLY.db");
    sources::store::write(ParadoxFolder, folder.path());
    sources::store::write(DataSourceName, "Anything");
    RefusingOpener refusing;
    const auto app = startWith(refusing);
    EXPECT_TRUE(app->setupWindow().isVisible());
    EXPECT_EQ(app->setupWindow().Text1->text(), folder.path());
    EXPECT_EQ(refusing.opens, 0);
}

TEST_F(StartUpTest, ADataSourceThatDoesNotOpenShowsSetupSilently) {
    touch(folder.path() + "/A.db");
    sources::store::write(ParadoxFolder, folder.path());
    sources::store::write(DataSourceName, "NoSuchDataSource");
    const auto app = startWith(real);
    EXPECT_TRUE(app->setupWindow().isVisible());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartUpTest, ClosingEitherWindowEndsTheProgram) {
    storeWorkingSettings();
    const auto app = startWith(opener);
    app->setupWindow().close(); // hidden behind the main window
    EXPECT_EQ(endings, 1);
    app->mainWindow()->close();
    EXPECT_EQ(endings, 2);
}

TEST_F(StartUpTest, ClosingDuringASendEndsItAtOnce) {
    storeWorkingSettings();
    const auto app = startWith(opener);
    shell::Form2& main = *app->mainWindow();
    const QString source = testing_support::uniqueTableName("closing").toUpper();
    pw::TableDesign design;
    design.columns = {{"ID", pw::Long}};
    pw::writeTable((folder.path() + "/" + source + ".db").toStdString(), design,
                   std::vector<pw::Row>(400, pw::Row{std::int64_t{1}}));
    main.List2->add(source);
    main.List2->setSelectedAt(static_cast<int>(entriesOf(*main.List2).indexOf(source)), true);
    main.List2->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    QObject::connect(main.ProgressBar1, &shell::Progress::percentChanged, [&](double percent) {
        if (percent >= 10 && endings == 0) {
            main.close();
        }
    });
    main.Check4->click();
    EXPECT_EQ(endings, 1);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(main.commands().busy());
    EXPECT_LT(database->query(testing_support::selectAllFrom(source)).rows.size(), 400u);
    testing_support::dropTableIfExists(*database, source);
}

TEST_F(StartUpTest, OkRebuildsTheMainWindowFromTheNewSettings) {
    storeWorkingSettings();
    const auto app = startWith(opener);
    shell::Form2& main = *app->mainWindow();
    shell::selectAll(*main.List2, true);
    main.Check2->click();
    EXPECT_TRUE(app->setupWindow().isVisible());
    EXPECT_FALSE(main.isVisible());

    QTemporaryDir other;
    touch(other.path() + "/Fresh.DB");
    app->setupWindow().Text1->setText(other.path());
    app->setupWindow().Check2->click();
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(app->setupWindow().isVisible());
    EXPECT_EQ(entriesOf(*main.List2), QStringList{"FRESH"});
    EXPECT_EQ(main.List2->selectedCount(), 0);
    EXPECT_EQ(entriesOf(*main.List1).count(table), 1);
    EXPECT_EQ(app->setupWindow().pointer(), shell::DefaultPointer);
}

TEST_F(StartUpTest, OkWithAnEmptyFolderShowsNothingAndAsksNoDataSource) {
    RefusingOpener refusing;
    const auto app = startWith(refusing);
    app->setupWindow().Text2->setText("Anything");
    app->setupWindow().Check2->click();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(refusing.opens, 0);
    EXPECT_EQ(app->mainWindow(), nullptr);
    EXPECT_EQ(app->setupWindow().pointer(), shell::DefaultPointer);
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
    setup::Form1 form{dialogs, real};
};

} // namespace

TEST_F(SetupWindowTest, TheDataSourceTestReportsFailureInItsOwnWords) {
    form.Check1->click();
    EXPECT_EQ(dialogs.messages(),
              QStringList{"Could not connect. Please check with your administrator."});
    EXPECT_EQ(form.pointer(), shell::DefaultPointer);
    if (const auto dsn = testing_support::sqliteDataSource()) {
        form.Text2->setText(*dsn);
        form.Check1->click();
        EXPECT_EQ(dialogs.messages().last(), "Connection successful.");
    }
}

TEST_F(SetupWindowTest, TheFolderTestNeedsTablesInTheFolderItself) {
    QTemporaryDir folder;
    touch(folder.path() + "/sub/ONLY.db");
    form.Text1->setText(folder.path());
    int busyDuringMessage = 0;
    dialogs.whileOpen = [&] { busyDuringMessage = form.pointer(); };
    form.Check3->click();
    touch(folder.path() + "/Here.db");
    form.Check3->click();
    EXPECT_EQ(dialogs.messages(), (QStringList{"Could not connect.", "Connection successful."}));
    EXPECT_EQ(busyDuringMessage, shell::BusyPointer);
    EXPECT_EQ(form.pointer(), shell::DefaultPointer);
}

TEST_F(SetupWindowTest, FocusSelectsTheTextAndTypingStoresEveryStep) {
    form.Form_Load();
    form.show();
    QApplication::setActiveWindow(&form);
    QStringList stored;
    QObject::connect(form.Text1, &QLineEdit::textChanged,
                     [&] { stored << sources::store::read(ParadoxFolder); });
    form.Text1->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(form.Text1->selectedText(), "typed before");
    QTest::keyClicks(form.Text1, "ab");
    EXPECT_EQ(form.Text1->text(), "ab");
    EXPECT_EQ(stored, (QStringList{"a", "ab"}));
}

TEST_F(SetupWindowTest, APickedFolderIsStoredAtOnceAndACancelChangesNothing) {
    form.Form_Load();
    dialogs.folders = {QString()};
    form.Check5->click();
    EXPECT_EQ(form.Text1->text(), "typed before");
    EXPECT_EQ(sources::store::read(ParadoxFolder), "typed before");
    dialogs.folders = {"/tmp/picked"};
    form.Check5->click();
    EXPECT_EQ(dialogs.shown.at(0).title, "Please select folder to add:");
    EXPECT_EQ(form.Text1->text(), "/tmp/picked");
    EXPECT_EQ(sources::store::read(ParadoxFolder), "/tmp/picked");
}

TEST_F(SetupWindowTest, HelpShowsTheTenLinesEachFollowedByTwoCarriageReturns) {
    form.Check4->click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString text = dialogs.messages()[0];
    EXPECT_TRUE(text.endsWith("\r\r"));
    EXPECT_FALSE(text.contains('\n'));
    const QStringList lines = text.chopped(2).split("\r\r");
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[0], "Here is how I connected to my Sybase ASA 6.0 database.");
    EXPECT_TRUE(lines[2].startsWith("2. Applied for a Developer Key with"));
    EXPECT_FALSE(lines[2].contains("http") || lines[2].contains("@") || lines[2].contains("www"));
    EXPECT_EQ(lines[4], "4. Clicked 'Add...' ");
    EXPECT_EQ(lines[9], "9. Clicked 'Test Connection' in my program.");
    EXPECT_EQ(ui::displayText("a\r\rb"), "a\n\nb");
}

TEST(MainWindow, SelectionButtonsAndTheInertButton) {
    testing_support::ScriptedDialogs dialogs;
    testing_support::FixedSettings settings;
    RefusingOpener refusing;
    shell::Form2 window(dialogs, settings, refusing);
    window.Check8->click(); // an empty list: nothing to do
    window.Check9->click();
    EXPECT_EQ(window.List2->count(), 0);
    for (const char* name : {"b", "a", "c"}) {
        window.List1->add(name);
    }
    window.List2->add("X");
    EXPECT_EQ(entriesOf(*window.List1), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(window.List1->current(), -1);

    window.Check10->click();
    EXPECT_EQ(window.List1->selectedCount(), 3);
    EXPECT_EQ(window.List2->selectedCount(), 0);
    EXPECT_EQ(window.Check10->value(), 0);
    window.Check11->click();
    EXPECT_EQ(window.List1->selectedCount(), 0);
    window.Check8->click();
    EXPECT_EQ(window.List2->selectedCount(), 1);
    window.Check9->click();
    EXPECT_EQ(window.List2->selectedCount(), 0);

    EXPECT_FALSE(window.Check3->isEnabled());
    EXPECT_FALSE(window.Check3->hasAction());
    // Shown with one "&" and no mnemonic: drawn as wide as the plain text.
    const QFontMetrics metrics(window.Check2->font());
    EXPECT_EQ(metrics.size(Qt::TextShowMnemonic, window.Check2->text()),
              metrics.size(0, "Setup Sybase ASA & Paradox Connections"));
    EXPECT_TRUE(QKeySequence::mnemonic(window.Check2->text()).isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(refusing.opens, 0);
}

TEST(MainWindow, ListsSortAlphabeticallyWithoutRegardToCase) {
    testing_support::ScriptedDialogs dialogs;
    testing_support::FixedSettings settings;
    RefusingOpener refusing;
    shell::Form2 window(dialogs, settings, refusing);
    for (shell::TableListWidget* list : {window.List1, window.List2}) {
        for (const char* name : {"Zeta", "alpha", "CUSTOMER", "Order Details", "aaa"}) {
            list->add(name);
        }
        list->add("Client"); // added later, as a rename does
        EXPECT_EQ(entriesOf(*list),
                  (QStringList{"aaa", "alpha", "Client", "CUSTOMER", "Order Details", "Zeta"}));
    }
}

TEST(MainWindow, AClickInAListTogglesAnEntryWithoutAModifier) {
    testing_support::ScriptedDialogs dialogs;
    testing_support::FixedSettings settings;
    RefusingOpener refusing;
    shell::Form2 window(dialogs, settings, refusing);
    window.show();
    window.List2->add("A");
    window.List2->add("B");
    const auto clickAt = [&](int row) {
        const QRect rect = window.List2->visualItemRect(window.List2->item(row));
        QTest::mouseClick(window.List2->viewport(), Qt::LeftButton, {}, rect.center());
    };
    clickAt(0);
    clickAt(1);
    EXPECT_EQ(window.List2->selectedCount(), 2);
    clickAt(0);
    EXPECT_EQ(window.List2->selectedCount(), 1);
    EXPECT_EQ(window.List2->current(), 0);
}

TEST(Settings, AStoreThatCannotBeWrittenIsReportedOnceAndTheFieldsStayLive) {
    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Marrowfen.conf";
    QFile::remove(file);
    ASSERT_TRUE(QDir().mkpath(file)); // a folder where the file belongs, even for root
    testing_support::ScriptedDialogs dialogs;
    RefusingOpener refusing;
    {
        shell::Application app(dialogs, refusing, [] {});
        app.start();
        app.setupWindow().Text1->setText("/first");
        app.setupWindow().Text2->setText("Second");
        EXPECT_EQ(app.setupWindow().paradoxFolder(), "/first");
        EXPECT_EQ(app.setupWindow().dataSourceName(), "Second");
    }
    QDir(file).removeRecursively();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith("The settings could not be stored: " + file +
                                                 " is a folder"))
        << dialogs.messages()[0].toStdString();
}

TEST(Settings, AreWrittenOnEveryChangeAndReadBackOnTheNextStart) {
    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Marrowfen.conf";
    QFile::remove(file);
    testing_support::ScriptedDialogs dialogs;
    RefusingOpener refusing;
    {
        shell::Application first(dialogs, refusing, [] {});
        first.start();
        EXPECT_FALSE(QFile::exists(file)); // a first run writes nothing
        QStringList written;
        QObject::connect(first.setupWindow().Text1, &QLineEdit::textChanged,
                         [&] { written << sources::store::read(ParadoxFolder); });
        first.setupWindow().show();
        first.setupWindow().Text1->setFocus();
        QTest::keyClicks(first.setupWindow().Text1, "/data");
        EXPECT_EQ(written, (QStringList{"/", "/d", "/da", "/dat", "/data"}));
        first.setupWindow().Text2->setText("Accounts");
    }
    {
        shell::Application again(dialogs, refusing, [] {});
        again.start();
        EXPECT_EQ(again.setupWindow().Text1->text(), "/data");
        EXPECT_EQ(again.setupWindow().Text2->text(), "Accounts");
        again.setupWindow().Text2->clear();
    }
    QSettings stored(file, QSettings::IniFormat);
    EXPECT_EQ(stored.value("Orvandel/ParadoxFolder").toString(), "/data");
    EXPECT_TRUE(stored.contains("Orvandel/DataSourceName"));
    EXPECT_EQ(stored.value("Orvandel/DataSourceName").toString(), QString());
}
