#include "files/Files.h"
#include "files/MoveByCopy.h"
#include "maintenance/Maintenance.h"
#include "platform/paradox/Paradox.h"
#include "shell/Form2.h"
#include "support/Databases.h"
#include "support/Lists.h"
#include "paradox-writer/ParadoxWriter.h"
#include "support/Recording.h"
#include "support/ScriptedDialogs.h"
#include "support/Unprivileged.h"
#include "transfer/Statements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::entriesOf;
using testing_support::fill;
using testing_support::touch;

namespace {

void writeFile(const QString& path, const QByteArray& contents = "table data") {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(contents);
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

Main::MoveResult move(const QString& from, const QString& to) {
    return Main::MoveByCopy(Main::pathOf(from), Main::pathOf(to));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.folder = folder.path();
        settings.dataSource = testing_support::sqliteDataSource().value_or("NoSuchDataSource");
        window = std::make_unique<shell::Form2>(dialogs, settings, opener);
    }

    QTemporaryDir folder;
    testing_support::FixedSettings settings;
    testing_support::ScriptedDialogs dialogs;
    odbc::OdbcOpener real;
    testing_support::RecordingOpener opener{real};
    std::unique_ptr<shell::Form2> window;
};

// The same commands against SQLite and PostgreSQL.
class DataSourceTest : public WindowTest, public ::testing::WithParamInterface<QString> {
protected:
    void SetUp() override {
        const auto name = testing_support::dataSourceOf(GetParam());
        if (!name) {
            GTEST_SKIP() << testing_support::missingDataSource(GetParam()).toStdString();
        }
        WindowTest::SetUp();
        settings.dataSource = *name;
        database = testing_support::openDataSource(*name);
    }
    void TearDown() override {
        for (const QString& table : created) {
            testing_support::dropTableIfExists(*database, table);
        }
    }
    QString createTable(const QString& prefix) {
        const QString name = testing_support::uniqueTableName(prefix);
        database->execute("CREATE TABLE " + transfer::quotedName(name) + "(a TEXT)");
        created << name;
        return name;
    }
    bool exists(const QString& table) {
        try {
            database->query(testing_support::selectAllFrom(table));
            return true;
        } catch (const odbc::Error&) {
            return false;
        }
    }

    std::unique_ptr<odbc::Connection> database;
    QStringList created;
};

} // namespace

TEST_P(DataSourceTest, DropsTheSelectedTablesHighestIndexFirst) {
    const QString a = createTable("a"), b = createTable("b"), c = createTable("c");
    const QString kept = createTable("d");
    const QString spaced = "Order Details " + testing_support::uniqueTableName("x");
    database->execute("CREATE TABLE " + transfer::quotedName(spaced) + "(a TEXT)");
    created << spaced;
    fill(*window->List1, {a, b, c, kept, spaced}, {a, c, spaced, b});
    window->Check1->click();

    EXPECT_TRUE(dialogs.shown.empty());
    // The list is sorted, and the walk goes from its last entry to its first.
    QStringList order{a, b, c, spaced};
    order.sort(Qt::CaseInsensitive);
    QStringList expected;
    for (auto name = order.crbegin(); name != order.crend(); ++name) {
        expected << "DROP TABLE \"" + *name + "\"";
    }
    EXPECT_EQ(opener.statements, expected);
    EXPECT_EQ(entriesOf(*window->List1), QStringList{kept});
    EXPECT_FALSE(exists(a));
    EXPECT_TRUE(exists(kept));
}

TEST_P(DataSourceTest, DropWithoutACurrentEntryOpensTheConnectionAndAsks) {
    window->List1->add("X");
    window->Check1->click();
    EXPECT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(dialogs.messages(), QStringList{"Please select a table"});
    EXPECT_EQ(opener.closed, 1);
}

TEST_P(DataSourceTest, AFailedDropKeepsTheRestListedAndReportsOnce) {
    const QString present = createTable("present");
    fill(*window->List1, {present, "aaa_missing_table"}, {present, "aaa_missing_table"});
    window->Check1->click();
    // The walk drops the higher index first, then fails on the missing table.
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith("Error "));
    EXPECT_EQ(entriesOf(*window->List1), QStringList{"aaa_missing_table"});
    EXPECT_EQ(window->pointer(), shell::DefaultPointer);
}

TEST_P(DataSourceTest, RenamesTheOneSelectedTable) {
    const QString orders = "Order Details " + createTable("orders");
    database->execute("CREATE TABLE " + transfer::quotedName(orders) + "(a TEXT)");
    created << orders;
    const QString sales = "Sales " + testing_support::uniqueTableName("s");
    created << sales;
    const QString other = createTable("aaa");
    fill(*window->List1, {orders, other}, {orders});
    dialogs.inputs = {sales};
    window->Check6->click();

    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Enter new name of " + orders + ":");
    EXPECT_EQ(dialogs.shown[0].title, "Orvandel");
    EXPECT_EQ(dialogs.shown[0].defaultText, orders);
    EXPECT_EQ(opener.statements,
              QStringList{"ALTER TABLE \"" + orders + "\" RENAME TO \"" + sales + "\";"});
    QStringList sorted{other, sales};
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(entriesOf(*window->List1), sorted);
    EXPECT_EQ(window->List1->current(), 0);
    EXPECT_EQ(window->List1->selectedCount(), 0);
    EXPECT_TRUE(exists(sales));
    EXPECT_FALSE(exists(orders));
}

TEST_P(DataSourceTest, RenameNeedsExactlyOneSelectionAndACancelDoesNothing) {
    fill(*window->List1, {"a", "b"}, {"a", "b"});
    window->Check6->click();
    selectAll(*window->List1, false);
    window->Check6->click();
    EXPECT_EQ(dialogs.messages(), (QStringList{"Please select just one table to rename.",
                                               "Please select just one table to rename."}));
    window->List1->setSelectedAt(0, true);
    dialogs.inputs = {QString()};
    window->Check6->click();
    EXPECT_TRUE(opener.statements.isEmpty());
    EXPECT_EQ(entriesOf(*window->List1), (QStringList{"a", "b"}));

    window->List1->clearAll();
    window->Check6->click();
    EXPECT_EQ(dialogs.messages().last(), "Please select a table to rename.");
}

INSTANTIATE_TEST_SUITE_P(DataSources, DataSourceTest, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto& info) { return info.param.toStdString(); });

TEST_F(WindowTest, RenameOfAnUnopenableDataSourceShowsOnlyTheError) {
    settings.dataSource = "NoSuchDataSource";
    window->Check6->click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith("Error "));
}

TEST_F(WindowTest, DeletesTheDataFilesOfSelectedTablesOnly) {
    const QString f = folder.path();
    writeFile(f + "/customer.db");
    writeFile(f + "/CUSTOMER.PX");
    writeFile(f + "/ORDERS.DB");
    writeFile(f + "/Items.Db");
    QDir().mkpath(f + "/sub");
    writeFile(f + "/sub/DEEP.db");
    fill(*window->List2, {"CUSTOMER", "ORDERS", "ITEMS", "DEEP"}, {"CUSTOMER", "ITEMS", "DEEP"});
    settings.folder = f + "/"; // a trailing separator gives "//", which works
    window->Check5->click();

    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMER.PX", "ORDERS.DB"}));
    EXPECT_TRUE(QFile::exists(f + "/sub/DEEP.db"));
    EXPECT_EQ(entriesOf(*window->List2), (QStringList{"DEEP", "ORDERS"}));
}

TEST_F(WindowTest, DeleteWithoutACurrentEntryAsks) {
    window->List2->add("X");
    window->Check5->click();
    EXPECT_EQ(dialogs.messages(), QStringList{"Please select a table to delete."});
}

TEST_F(WindowTest, RenamesATableFileAndShowsTheNameAsTyped) {
    const QString f = folder.path();
    writeFile(f + "/CUSTOMER.DB", "customers");
    writeFile(f + "/CUSTOMER.PX");
    fill(*window->List2, {"CUSTOMER", "ORDERS"}, {"CUSTOMER"});
    dialogs.inputs = {"Client"};
    window->Check7->click();

    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMER.PX", "Client.DB"}));
    EXPECT_EQ(contentsOf(f + "/Client.DB"), "customers");
    EXPECT_EQ(entriesOf(*window->List2), (QStringList{"Client", "ORDERS"}));
    EXPECT_EQ(window->List2->current(), 0);
}

TEST_F(WindowTest, RenameTakesTheCaseVariantTheLookupFindsFirst) {
    const QString f = folder.path();
    writeFile(f + "/orders.Db", "second");
    writeFile(f + "/Orders.db", "first"); // "O" comes before "o" in byte order
    fill(*window->List2, {"ORDERS", "ORDERS"}, {"ORDERS"});
    window->List2->setSelectedAt(1, false);
    dialogs.inputs = {"Moved"};
    window->Check7->click();
    EXPECT_EQ(filesIn(f), (QStringList{"Moved.db", "orders.Db"}));
    EXPECT_EQ(contentsOf(f + "/Moved.db"), "first");
    EXPECT_EQ(entriesOf(*window->List2), (QStringList{"Moved", "ORDERS"}));
}

TEST_F(WindowTest, ARenamedTableKeepsItsMemoAndCanStillBeRead) {
    const QString f = folder.path();
    paradox_writer::TableDesign design;
    design.columns = {{"NOTE", paradox_writer::Memo, 11}};
    paradox_writer::writeTable((f + "/NOTES.DB").toStdString(), design, {{std::string(500, 'n')}});
    writeFile(f + "/NOTES.PX");
    fill(*window->List2, {"NOTES"}, {"NOTES"});
    dialogs.inputs = {"Kept"};
    window->Check7->click();
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.messages().join("|").toStdString();
    EXPECT_EQ(filesIn(f), (QStringList{"Kept.DB", "Kept.MB", "NOTES.PX"}));
    auto table = paradox::openTable(Main::pathOf(f + "/Kept.DB"));
    EXPECT_EQ(table.value(0).text, std::string(500, 'n'));

    // A memo file that cannot move takes the data file back with it.
    writeFile(f + "/Other.MB", "in the way");
    window->List2->setSelectedAt(0, true);
    dialogs.inputs = {"Other"};
    window->Check7->click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].contains("memo file")) << dialogs.messages()[0].toStdString();
    EXPECT_EQ(filesIn(f), (QStringList{"Kept.DB", "Kept.MB", "NOTES.PX", "Other.MB"}));
    EXPECT_EQ(entriesOf(*window->List2), QStringList{"Kept"});
}

TEST(MoveByCopy, ACopyWhoseSourceCannotBeDeletedSaysSoNamingBothFiles) {
    QTemporaryDir folder;
    const QString f = folder.path();
    writeFile(f + "/A.DB", "a");
    // In a folder with the sticky bit only the owner deletes a file, so
    // another user can copy A.DB but not delete it.
    ::chmod(QFile::encodeName(f).constData(), 01777);
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user (CI runs as root)";
    }
    const int code = testing_support::runUnprivileged([&] {
        const Main::MoveResult result = move(f + "/A.DB", f + "/B.DB");
        const bool named =
            result.reason.contains(f + "/A.DB") && result.reason.contains(f + "/B.DB");
        return result.moved && named ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(filesIn(f), (QStringList{"A.DB", "B.DB"}));
}

TEST_F(WindowTest, ARefusedFileRenameSaysWhyAndChangesNothing) {
    const QString f = folder.path();
    writeFile(f + "/CUSTOMER.DB", "customers");
    writeFile(f + "/ORDERS.DB", "orders");
    fill(*window->List2, {"CUSTOMER", "ORDERS"}, {"CUSTOMER"});
    for (const QString& answer : {QString("ORDERS"), QString("CUSTOMER"), QString("customer"),
                                  QString("../escape"), QString("a/b")}) {
        dialogs.inputs = {answer};
        window->Check7->click();
    }
    EXPECT_EQ(dialogs.messages().size(), 5);
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMER.DB", "ORDERS.DB"}));
    EXPECT_EQ(contentsOf(f + "/ORDERS.DB"), "orders");
    EXPECT_EQ(entriesOf(*window->List2), (QStringList{"CUSTOMER", "ORDERS"}));
}

TEST_F(WindowTest, AFileInASubfolderIsNotMovedButTheListShowsTheNewName) {
    QDir().mkpath(folder.path() + "/sub");
    writeFile(folder.path() + "/sub/DEEP.db");
    fill(*window->List2, {"DEEP"}, {"DEEP"});
    dialogs.inputs = {"Shallow"};
    window->Check7->click();
    EXPECT_TRUE(QFile::exists(folder.path() + "/sub/DEEP.db"));
    EXPECT_EQ(entriesOf(*window->List2), QStringList{"Shallow"});
}

TEST(MoveByCopy, MovesAndKeepsTheContents) {
    QTemporaryDir folder;
    const QString from = folder.path() + "/A.DB";
    writeFile(from, QByteArray(300000, 'x'));
    QFile::setPermissions(from, QFile::ReadOwner | QFile::WriteOwner);
    const Main::MoveResult result = move(from, folder.path() + "/B.DB");
    EXPECT_TRUE(result.moved) << result.reason.toStdString();
    EXPECT_EQ(filesIn(folder.path()), QStringList{"B.DB"});
    EXPECT_EQ(contentsOf(folder.path() + "/B.DB"), QByteArray(300000, 'x'));
    const auto ownerGroupOther = QFile::Permissions(0x7077);
    EXPECT_EQ(QFile::permissions(folder.path() + "/B.DB") & ownerGroupOther,
              (QFile::ReadOwner | QFile::WriteOwner) & ownerGroupOther);
}

TEST(MoveByCopy, AFailedCopyLeavesTheSourceAndNoLeftovers) {
    QTemporaryDir folder;
    const QString from = folder.path() + "/A.DB";
    writeFile(from, QByteArray(200000, 'y'));
    EXPECT_FALSE(move(folder.path() + "/MISSING.DB", folder.path() + "/C.DB").moved);

    // A write limit stands in for a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Main::MoveResult result = move(from, folder.path() + "/B.DB");
    ::setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_FALSE(result.moved);
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_EQ(filesIn(folder.path()), QStringList{"A.DB"});
    EXPECT_EQ(contentsOf(from), QByteArray(200000, 'y'));
}

TEST(MoveByCopy, RefusesNamesThatCouldLoseOrEscape) {
    QTemporaryDir folder;
    const QString f = folder.path();
    writeFile(f + "/A.DB", "a");
    writeFile(f + "/B.DB", "b");
    QDir().mkpath(f + "/sub");
    const QStringList targets = {f + "/B.DB", f + "/A.DB", f + "/a.db", f + "/sub/A.DB",
                                 f + "/A" + QChar(0) + ".DB"};
    for (const QString& target : targets) {
        const Main::MoveResult result = move(f + "/A.DB", target);
        EXPECT_FALSE(result.moved);
        EXPECT_FALSE(result.reason.isEmpty());
    }
    EXPECT_EQ(filesIn(f), (QStringList{"A.DB", "B.DB"}));
    EXPECT_EQ(contentsOf(f + "/B.DB"), "b");
}
