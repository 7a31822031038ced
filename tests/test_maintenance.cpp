#include "files/Files.h"
#include "files/MoveByCopy.h"
#include "maintenance/Maintenance.h"
#include "platform/paradox/Paradox.h"
#include "support/Desk.h"
#include "support/FileSizeLimit.h"
#include "support/Unprivileged.h"
#include "transfer/Statements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::entriesOf;
using testing_support::fill;

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

// The same commands against SQLite, PostgreSQL and MariaDB.
class DataSourceTest : public testing_support::DeskTest,
                       public ::testing::WithParamInterface<QString> {
protected:
    QString kind() const override { return GetParam(); }
};

using FileTest = testing_support::DeskTest;

} // namespace

TEST_P(DataSourceTest, DropsTheSelectedTablesHighestIndexFirst) {
    const QString a = database.createTable("a"), b = database.createTable("b"),
                  c = database.createTable("c");
    const QString kept = database.createTable("d");
    const QString spaced = "Order Details " + testing_support::uniqueTableName("x");
    database.createTableNamed(spaced);
    fill(desk.list1, {a, b, c, kept, spaced}, {a, c, spaced, b});
    desk.run(maintenance::DropTables);

    EXPECT_TRUE(desk.dialogs.shown.empty());
    // The list is sorted, and the walk goes from its last entry to its first.
    QStringList order{a, b, c, spaced};
    order.sort(Qt::CaseInsensitive);
    QStringList expected;
    for (auto name = order.crbegin(); name != order.crend(); ++name) {
        expected << "DROP TABLE \"" + *name + "\"";
    }
    EXPECT_EQ(sentStatements(), expected);
    EXPECT_EQ(entriesOf(desk.list1), QStringList{kept});
    EXPECT_FALSE(database.exists(a));
    EXPECT_TRUE(database.exists(kept));
}

TEST_P(DataSourceTest, AFailedDropKeepsTheRestListedAndReportsOnce) {
    const QString present = database.createTable("present");
    fill(desk.list1, {present, "aaa_missing_table"}, {present, "aaa_missing_table"});
    desk.run(maintenance::DropTables);
    // The walk drops the higher index first, then fails on the missing table.
    ASSERT_EQ(desk.dialogs.messages().size(), 1);
    EXPECT_TRUE(desk.dialogs.messages()[0].startsWith("Error "));
    EXPECT_EQ(entriesOf(desk.list1), QStringList{"aaa_missing_table"});
    EXPECT_EQ(desk.pointer.setting, ui::DefaultPointer);
}

TEST_P(DataSourceTest, RenamesTheOneSelectedTable) {
    const QString orders = "Order Details " + database.createTable("orders");
    database.createTableNamed(orders);
    const QString sales = "Sales " + testing_support::uniqueTableName("s");
    database.own(sales);
    const QString other = database.createTable("aaa");
    fill(desk.list1, {orders, other}, {orders});
    desk.dialogs.inputs = {sales};
    desk.run(maintenance::RenameTable);

    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].text, "Enter new name of " + orders + ":");
    EXPECT_EQ(desk.dialogs.shown[0].title, "Orvandel");
    EXPECT_EQ(desk.dialogs.shown[0].defaultText, orders);
    EXPECT_EQ(sentStatements(),
              QStringList{"ALTER TABLE \"" + orders + "\" RENAME TO \"" + sales + "\";"});
    QStringList sorted{other, sales};
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(entriesOf(desk.list1), sorted);
    EXPECT_EQ(desk.list1.current(), 0);
    EXPECT_EQ(desk.list1.selectedCount(), 0);
    EXPECT_TRUE(database.exists(sales));
    EXPECT_FALSE(database.exists(orders));
}

TEST_P(DataSourceTest, RenameNeedsExactlyOneSelectionAndACancelDoesNothing) {
    fill(desk.list1, {"a", "b"}, {});
    desk.run(maintenance::RenameTable);
    EXPECT_EQ(desk.dialogs.messages(), QStringList{"Please select just one table to rename."});
    desk.list1.setSelectedAt(0, true);
    desk.dialogs.inputs = {QString()};
    desk.run(maintenance::RenameTable);
    EXPECT_TRUE(sentStatements().isEmpty());
    EXPECT_EQ(entriesOf(desk.list1), (QStringList{"a", "b"}));
}

INSTANTIATE_TEST_SUITE_P(DataSources, DataSourceTest,
                         ::testing::Values("SQLite", "PostgreSQL", "MariaDB"),
                         [](const auto& info) { return info.param.toStdString(); });

TEST_F(FileTest, RenameOfAnUnopenableDataSourceShowsOnlyTheError) {
    desk.settings.dataSource = "NoSuchDataSource";
    desk.run(maintenance::RenameTable);
    ASSERT_EQ(desk.dialogs.messages().size(), 1);
    // The driver manager's error has no number of its own: none is shown.
    EXPECT_TRUE(desk.dialogs.messages()[0].startsWith("IM002: "));
}

TEST_F(FileTest, DeletesTheDataFilesOfSelectedTablesOnly) {
    const QString f = folder.path();
    writeFile(f + "/customer.db");
    writeFile(f + "/CUSTOMER.PX");
    writeFile(f + "/ORDERS.DB");
    writeFile(f + "/Items.Db");
    QDir().mkpath(f + "/sub");
    writeFile(f + "/sub/DEEP.db");
    fill(desk.list2, {"CUSTOMER", "ORDERS", "ITEMS", "DEEP"}, {"CUSTOMER", "ITEMS", "DEEP"});
    desk.settings.folder = f + "/"; // a trailing separator gives "//", which works
    desk.run(maintenance::DeleteTableFiles);

    EXPECT_TRUE(desk.dialogs.shown.empty());
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMER.PX", "ORDERS.DB"}));
    EXPECT_TRUE(QFile::exists(f + "/sub/DEEP.db"));
    EXPECT_EQ(entriesOf(desk.list2), (QStringList{"DEEP", "ORDERS"}));
}

TEST_F(FileTest, RenamesATableFileAndShowsTheNameAsTyped) {
    const QString f = folder.path();
    writeFile(f + "/CUSTOMER.DB", "customers");
    writeFile(f + "/CUSTOMER.PX");
    fill(desk.list2, {"CUSTOMER", "ORDERS"}, {"CUSTOMER"});
    desk.dialogs.inputs = {"Client"};
    desk.run(maintenance::RenameTableFile);

    EXPECT_TRUE(desk.dialogs.messages().isEmpty());
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMER.PX", "Client.DB"}));
    EXPECT_EQ(contentsOf(f + "/Client.DB"), "customers");
    EXPECT_EQ(entriesOf(desk.list2), (QStringList{"Client", "ORDERS"}));
    EXPECT_EQ(desk.list2.current(), 0);
}

TEST_F(FileTest, RenameTakesTheCaseVariantTheLookupFindsFirst) {
    const QString f = folder.path();
    writeFile(f + "/orders.Db", "second");
    writeFile(f + "/Orders.db", "first"); // "O" comes before "o" in byte order
    fill(desk.list2, {"ORDERS", "ORDERS"}, {"ORDERS"});
    desk.list2.setSelectedAt(1, false);
    desk.dialogs.inputs = {"Moved"};
    desk.run(maintenance::RenameTableFile);
    EXPECT_EQ(filesIn(f), (QStringList{"Moved.db", "orders.Db"}));
    EXPECT_EQ(contentsOf(f + "/Moved.db"), "first");
    EXPECT_EQ(entriesOf(desk.list2), (QStringList{"Moved", "ORDERS"}));
}

TEST_F(FileTest, ARenamedTableKeepsItsMemoAndCanStillBeRead) {
    const QString f = folder.path();
    paradox_writer::TableDesign design;
    design.columns = {{"NOTE", paradox_writer::Memo, 11}};
    paradox_writer::writeTable((f + "/NOTES.DB").toStdString(), design, {{std::string(500, 'n')}});
    writeFile(f + "/NOTES.PX");
    fill(desk.list2, {"NOTES"}, {"NOTES"});
    desk.dialogs.inputs = {"Kept"};
    desk.run(maintenance::RenameTableFile);
    EXPECT_TRUE(desk.dialogs.messages().isEmpty())
        << desk.dialogs.messages().join("|").toStdString();
    EXPECT_EQ(filesIn(f), (QStringList{"Kept.DB", "Kept.MB", "NOTES.PX"}));
    auto table = paradox::openTable(Main::pathOf(f + "/Kept.DB"));
    EXPECT_EQ(table.value(0).text, std::string(500, 'n'));

    // A memo file that cannot move takes the data file back with it.
    writeFile(f + "/Other.MB", "in the way");
    desk.list2.setSelectedAt(0, true);
    desk.dialogs.inputs = {"Other"};
    desk.run(maintenance::RenameTableFile);
    ASSERT_EQ(desk.dialogs.messages().size(), 1);
    EXPECT_TRUE(desk.dialogs.messages()[0].contains("memo file"))
        << desk.dialogs.messages()[0].toStdString();
    EXPECT_EQ(filesIn(f), (QStringList{"Kept.DB", "Kept.MB", "NOTES.PX", "Other.MB"}));
    EXPECT_EQ(entriesOf(desk.list2), QStringList{"Kept"});
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

TEST_F(FileTest, ARefusedFileRenameSaysWhyAndChangesNothing) {
    const QString f = folder.path();
    writeFile(f + "/CUSTOMER.DB", "customers");
    writeFile(f + "/ORDERS.DB", "orders");
    fill(desk.list2, {"CUSTOMER", "ORDERS"}, {"CUSTOMER"});
    for (const QString& answer :
         {QString("ORDERS"), QString("CUSTOMER"), QString("customer"), QString("../escape"),
          QString("a/b"), QString("A") + QChar(0) + "B"}) {
        desk.dialogs.inputs = {answer};
        desk.run(maintenance::RenameTableFile);
    }
    EXPECT_EQ(desk.dialogs.messages().size(), 6);
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMER.DB", "ORDERS.DB"}));
    EXPECT_EQ(contentsOf(f + "/ORDERS.DB"), "orders");
    EXPECT_EQ(entriesOf(desk.list2), (QStringList{"CUSTOMER", "ORDERS"}));
}

TEST_F(FileTest, AFileInASubfolderIsNotMovedButTheListShowsTheNewName) {
    QDir().mkpath(folder.path() + "/sub");
    writeFile(folder.path() + "/sub/DEEP.db");
    fill(desk.list2, {"DEEP"}, {"DEEP"});
    desk.dialogs.inputs = {"Shallow"};
    desk.run(maintenance::RenameTableFile);
    EXPECT_TRUE(QFile::exists(folder.path() + "/sub/DEEP.db"));
    EXPECT_EQ(entriesOf(desk.list2), QStringList{"Shallow"});
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

    testing_support::FileSizeLimit full;
    full.limit(4096);
    const Main::MoveResult result = move(from, folder.path() + "/B.DB");
    full.lift();

    EXPECT_FALSE(result.moved);
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_EQ(filesIn(folder.path()), QStringList{"A.DB"});
    EXPECT_EQ(contentsOf(from), QByteArray(200000, 'y'));
}
