#include "files/Files.h"
#include "files/MoveByCopy.h"
#include "files/TableFamily.h"
#include "maintenance/Maintenance.h"
#include "platform/paradox/Paradox.h"
#include "support/Desk.h"
#include "support/FileSizeLimit.h"
#include "support/Unprivileged.h"
#include "transfer/Statements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <pwd.h>
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

using Contents = std::map<QString, QByteArray>;

// Every file of the folder with its contents.
Contents contentsIn(const QString& folder) {
    Contents contents;
    for (const QString& name : filesIn(folder)) {
        contents[name] = contentsOf(folder + "/" + name);
    }
    return contents;
}

// A keyed table with a memo field (<name><dataExtension> and its memo file)
// and stand-ins for other companions, each holding its own file name.
Contents writeFamily(const QString& folder, const QString& name, const QStringList& companions,
                     const std::string& memoTail = {}, const QString& dataExtension = ".DB") {
    const std::string data = (folder + "/" + name + dataExtension).toStdString();
    paradox_writer::writeTable(data,
                               testing_support::designOf({{"NOTE", paradox_writer::Memo, 11}}),
                               {{"note of " + name.toStdString() + memoTail}});
    std::fstream keyed(data, std::ios::binary | std::ios::in | std::ios::out);
    keyed.seekp(0x04);
    keyed.put(0); // a keyed table
    keyed.seekp(0x23);
    keyed.put(1); // keyed on its first field
    keyed.close();
    for (const QString& extension : companions) {
        writeFile(folder + "/" + name + "." + extension, (name + "." + extension).toLatin1());
    }
    Contents family;
    for (const auto& [file, bytes] : contentsIn(folder)) {
        if (file.section('.', 0, 0) == name) {
            family[file] = bytes;
        }
    }
    return family;
}

// The memo texts of the table name, read through its family's memo file.
std::vector<std::string> readMemos(const QString& folder, const QString& name) {
    const auto family = files::FindTableFamily(files::pathOf(folder), name);
    std::vector<std::string> memos;
    if (!family) {
        return memos;
    }
    auto table = paradox::openTable(family->dataFile(), family->memoFile());
    for (; !table.eof(); table.moveNext()) {
        memos.emplace_back(table.value(0).text);
    }
    return memos;
}

void giveToNobody(const QString& path) {
    if (const passwd* nobody = ::getpwnam("nobody")) {
        ::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid);
    }
}

files::MoveResult move(const QString& from, const QString& to) {
    return files::MoveByCopy(files::pathOf(from), files::pathOf(to));
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
    fill(desk.targetList, {a, b, c, kept, spaced}, {a, c, spaced, b});
    desk.run(maintenance::DropTargetTables);

    EXPECT_TRUE(desk.dialogs.shown.empty());
    // The list is sorted, and the walk goes from its last entry to its first.
    QStringList order{a, b, c, spaced};
    order.sort(Qt::CaseInsensitive);
    QStringList expected;
    for (auto name = order.crbegin(); name != order.crend(); ++name) {
        expected << "DROP TABLE \"" + *name + "\"";
    }
    EXPECT_EQ(sentStatements(), expected);
    EXPECT_EQ(entriesOf(desk.targetList), QStringList{kept});
    EXPECT_FALSE(database.exists(a));
    EXPECT_TRUE(database.exists(kept));
}

TEST_P(DataSourceTest, AFailedDropKeepsTheRestListedAndReportsOnce) {
    const QString present = database.createTable("present");
    fill(desk.targetList, {present, "aaa_missing_table"}, {present, "aaa_missing_table"});
    desk.run(maintenance::DropTargetTables);
    // The walk drops the higher index first, then fails on the missing table.
    ASSERT_EQ(desk.dialogs.messages().size(), 1);
    EXPECT_TRUE(desk.dialogs.messages()[0].startsWith("Error "));
    EXPECT_EQ(entriesOf(desk.targetList), QStringList{"aaa_missing_table"});
    EXPECT_EQ(desk.pointer.setting, ui::DefaultPointer);
}

TEST_P(DataSourceTest, RenamesTheOneSelectedTable) {
    const QString orders = "Order Details " + database.createTable("orders");
    database.createTableNamed(orders);
    const QString sales = "Sales " + testing_support::uniqueTableName("s");
    database.own(sales);
    const QString other = database.createTable("aaa");
    fill(desk.targetList, {orders, other}, {orders});
    desk.dialogs.inputs = {sales};
    desk.run(maintenance::RenameTargetTable);

    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].text, "Enter new name of " + orders + ":");
    EXPECT_EQ(desk.dialogs.shown[0].title, "Orvandel");
    EXPECT_EQ(desk.dialogs.shown[0].defaultText, orders);
    EXPECT_EQ(sentStatements(),
              QStringList{"ALTER TABLE \"" + orders + "\" RENAME TO \"" + sales + "\";"});
    QStringList sorted{other, sales};
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(entriesOf(desk.targetList), sorted);
    EXPECT_EQ(desk.targetList.current(), 0);
    EXPECT_EQ(desk.targetList.selectedCount(), 0);
    EXPECT_TRUE(database.exists(sales));
    EXPECT_FALSE(database.exists(orders));
}

TEST_P(DataSourceTest, RenameNeedsExactlyOneSelectionAndACancelDoesNothing) {
    fill(desk.targetList, {"a", "b"}, {});
    desk.run(maintenance::RenameTargetTable);
    EXPECT_EQ(desk.dialogs.messages(), QStringList{"Please select just one table to rename."});
    desk.targetList.setSelectedAt(0, true);
    desk.dialogs.inputs = {QString()};
    desk.run(maintenance::RenameTargetTable);
    EXPECT_TRUE(sentStatements().isEmpty());
    EXPECT_EQ(entriesOf(desk.targetList), (QStringList{"a", "b"}));
}

INSTANTIATE_TEST_SUITE_P(DataSources, DataSourceTest,
                         ::testing::Values("SQLite", "PostgreSQL", "MariaDB"),
                         [](const auto& info) { return info.param.toStdString(); });

TEST_F(FileTest, RenameOfAnUnopenableDataSourceShowsOnlyTheError) {
    desk.settings.dataSource = "NoSuchDataSource";
    desk.run(maintenance::RenameTargetTable);
    ASSERT_EQ(desk.dialogs.messages().size(), 1);
    // The driver manager's error has no number of its own: none is shown.
    EXPECT_TRUE(desk.dialogs.messages()[0].startsWith("IM002: "));
}

TEST_F(FileTest, DeletesTheFilesOfSelectedTablesOnly) {
    const QString f = folder.path();
    writeFile(f + "/customer.db");
    writeFile(f + "/CUSTOMER.PX");
    writeFile(f + "/CUSTOMERS.PX");
    writeFile(f + "/ORDERS.DB");
    writeFile(f + "/ORDERS.PX");
    writeFile(f + "/Items.Db");
    QDir().mkpath(f + "/sub");
    writeFile(f + "/sub/DEEP.db");
    fill(desk.paradoxList, {"CUSTOMER", "ORDERS", "ITEMS", "DEEP"}, {"CUSTOMER", "ITEMS", "DEEP"});
    desk.settings.folder = f + "/"; // a trailing separator gives "//", which works
    desk.run(maintenance::DeleteParadoxTables);

    EXPECT_TRUE(desk.dialogs.shown.empty());
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMERS.PX", "ORDERS.DB", "ORDERS.PX"}));
    EXPECT_TRUE(QFile::exists(f + "/sub/DEEP.db"));
    EXPECT_EQ(entriesOf(desk.paradoxList), (QStringList{"DEEP", "ORDERS"}));
}

TEST_F(FileTest, RenamesATableFileAndShowsTheNameAsTyped) {
    const QString f = folder.path();
    writeFile(f + "/CUSTOMER.DB", "customers");
    writeFile(f + "/CUSTOMER.PX");
    fill(desk.paradoxList, {"CUSTOMER", "ORDERS"}, {"CUSTOMER"});
    desk.dialogs.inputs = {"Client"};
    desk.run(maintenance::RenameParadoxTable);

    EXPECT_TRUE(desk.dialogs.messages().isEmpty());
    EXPECT_EQ(filesIn(f), (QStringList{"Client.DB", "Client.PX"}));
    EXPECT_EQ(contentsOf(f + "/Client.DB"), "customers");
    EXPECT_EQ(entriesOf(desk.paradoxList), (QStringList{"Client", "ORDERS"}));
    EXPECT_EQ(desk.paradoxList.current(), 0);
}

TEST_F(FileTest, RenameTakesTheCaseVariantTheLookupFindsFirst) {
    const QString f = folder.path();
    writeFile(f + "/orders.Db", "second");
    writeFile(f + "/Orders.db", "first"); // "O" comes before "o" in byte order
    fill(desk.paradoxList, {"ORDERS", "ORDERS"}, {"ORDERS"});
    desk.paradoxList.setSelectedAt(1, false);
    desk.dialogs.inputs = {"Moved"};
    desk.run(maintenance::RenameParadoxTable);
    EXPECT_EQ(filesIn(f), (QStringList{"Moved.db", "orders.Db"}));
    EXPECT_EQ(contentsOf(f + "/Moved.db"), "first");
    EXPECT_EQ(entriesOf(desk.paradoxList), (QStringList{"Moved", "ORDERS"}));
}

// A keyed table with a memo field, two secondary indexes, validity checks,
// view and family files moves whole, each extension in its own letter case,
// and reads as before; files of other names stay.
TEST_F(FileTest, RenameMovesTheWholeFamily) {
    const QString f = folder.path();
    const Contents before =
        writeFamily(f, "C", {"PX", "X02", "Y02", "XG0", "YG0", "val", "TV", "FAM"});
    for (const QString other : {"CX.PX", "C.BAK", "B.PX"}) {
        writeFile(f + "/" + other, other.toLatin1());
    }
    fill(desk.paradoxList, {"C"}, {"C"});
    desk.dialogs.inputs = {"CNEW"};
    desk.run(maintenance::RenameParadoxTable);

    EXPECT_TRUE(desk.dialogs.messages().isEmpty())
        << desk.dialogs.messages().join("|").toStdString();
    Contents expected{{"B.PX", "B.PX"}, {"C.BAK", "C.BAK"}, {"CX.PX", "CX.PX"}};
    for (const auto& [name, bytes] : before) {
        expected[QString(name).replace(0, 1, "CNEW")] = bytes;
    }
    EXPECT_EQ(contentsIn(f), expected);
    EXPECT_EQ(entriesOf(desk.paradoxList), QStringList{"CNEW"});
    EXPECT_EQ(readMemos(f, "CNEW"), std::vector<std::string>{"note of C"});
}

// The third move (the memo file) fails: the two files moved before it go
// back, and one message says so.
TEST_F(FileTest, ARenameThatFailsPartWayPutsBackWhatMoved) {
    const QString f = folder.path();
    const Contents before = writeFamily(f, "C", {"FAM", "PX", "X02"}, std::string(200000, 'm'));
    fill(desk.paradoxList, {"C"}, {"C"});
    desk.dialogs.inputs = {"CNEW"};
    testing_support::FileSizeLimit full;
    full.limit(65536); // C.DB and C.FAM fit, C.MB does not
    desk.run(maintenance::RenameParadoxTable);
    full.lift();

    ASSERT_EQ(desk.dialogs.messages().size(), 1);
    const QString text = desk.dialogs.messages()[0];
    for (const QString& part : {QString("The table C was not renamed"), f + "/C.MB",
                                QString("moved back, so the table is as it was")}) {
        EXPECT_TRUE(text.contains(part)) << text.toStdString();
    }
    EXPECT_EQ(contentsIn(f), before);
    EXPECT_EQ(entriesOf(desk.paradoxList), QStringList{"C"});
}

// Before anything moves: any file of the new name stops the rename.
TEST_F(FileTest, ARenameOntoAnExistingFileOfTheFamilyMovesNothing) {
    const QString f = folder.path();
    writeFamily(f, "NOTES", {"PX", "VAL"});
    writeFile(f + "/Other.VAL", "in the way");
    writeFile(f + "/Other.PX", "in the way");
    const Contents before = contentsIn(f);
    fill(desk.paradoxList, {"NOTES"}, {"NOTES"});
    desk.dialogs.inputs = {"Other"};
    desk.run(maintenance::RenameParadoxTable);
    EXPECT_EQ(desk.dialogs.messages(),
              QStringList{"The table NOTES was not renamed, because these files already exist: " +
                          f + "/Other.PX, " + f + "/Other.VAL. Nothing was moved."});
    EXPECT_EQ(contentsIn(f), before);
    EXPECT_EQ(entriesOf(desk.paradoxList), QStringList{"NOTES"});
}

// Delete takes every companion along, so a table renamed to the freed name
// later is not paired with the old table's indexes and checks.
TEST_F(FileTest, DeleteThenRenameAnotherTableToTheFreedName) {
    const QString f = folder.path();
    writeFamily(f, "C", {"PX", "X02", "Y02", "X03", "Y03", "VAL", "TV", "FAM"});
    const Contents b = writeFamily(f, "B", {"PX"});
    fill(desk.paradoxList, {"B", "C"}, {"C"});
    desk.run(maintenance::DeleteParadoxTables);
    EXPECT_TRUE(desk.dialogs.messages().isEmpty());
    EXPECT_EQ(contentsIn(f), b);
    EXPECT_EQ(entriesOf(desk.paradoxList), QStringList{"B"});

    desk.paradoxList.setSelectedAt(0, true);
    desk.dialogs.inputs = {"C"};
    desk.run(maintenance::RenameParadoxTable);
    EXPECT_TRUE(desk.dialogs.messages().isEmpty());
    EXPECT_EQ(filesIn(f), (QStringList{"C.DB", "C.MB", "C.PX"}));
    EXPECT_EQ(contentsOf(f + "/C.PX"), "B.PX");
    EXPECT_EQ(readMemos(f, "C"), std::vector<std::string>{"note of B"});
}

// ORDERS.DB and orders.db are two listed tables: a companion spelt like one
// of them is that one's, one that fits both only by letter case is left
// alone, and the message says so.
TEST_F(FileTest, CompanionsOfTwoSpellingsGoWithTheirOwnTableOnly) {
    const QString f = folder.path();
    writeFamily(f, "ORDERS", {"PX"});
    writeFamily(f, "orders", {}, {}, ".db");
    writeFile(f + "/Orders.VAL", "Orders.VAL");
    fill(desk.paradoxList, {"ORDERS", "ORDERS"}, {"ORDERS"});
    desk.paradoxList.setSelectedAt(1, false);
    desk.dialogs.inputs = {"SALES"};
    desk.run(maintenance::RenameParadoxTable);
    EXPECT_EQ(desk.dialogs.messages(),
              QStringList{f + "/Orders.VAL was left as it is, because its name fits more than one "
                              "table of the folder (the same name in other letter case)."});
    EXPECT_EQ(filesIn(f), (QStringList{"Orders.VAL", "SALES.DB", "SALES.MB", "SALES.PX",
                                       "orders.db", "orders.mb"}));
    EXPECT_EQ(readMemos(f, "SALES"), std::vector<std::string>{"note of ORDERS"});

    // Now orders.db is the only table of that name: the checks are its own.
    fill(desk.paradoxList, {}, {"ORDERS"});
    desk.run(maintenance::DeleteParadoxTables);
    EXPECT_EQ(desk.dialogs.messages().size(), 1);
    EXPECT_EQ(filesIn(f), (QStringList{"SALES.DB", "SALES.MB", "SALES.PX"}));
}

// As another user: a data file that cannot be deleted leaves the table as it
// was (its copies removed), wherever it comes in the moves; a folder that
// refuses the delete gets a sentence, not the library's error; a companion
// that cannot go is named.
TEST_F(FileTest, FilesThatCannotBeRemovedLeaveWholeTablesAndSaySo) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user (CI runs as root)";
    }
    const QString f = folder.path();
    struct Case {
        mode_t folderMode;
        QString rootsFile; // the one file the other user cannot delete
        bool rename;
        bool done;
        QString says;
    };
    for (const Case& c :
         {Case{01777, "ORDERS.db", true, false, "ORDERS.db could not be deleted"},
          Case{01777, "ORDERS.mb", true, false, "moved back, so the table is as it was"},
          Case{0555, "", false, false,
               "The table ORDERS was not deleted, because its file " + f +
                   "/ORDERS.db could not be removed: Permission denied."},
          Case{01777, "ORDERS.mb", false, true,
               "The table ORDERS was deleted, but one of its files could not be removed: " + f +
                   "/ORDERS.mb (Operation not permitted)."}}) {
        QDir(f).removeRecursively();
        QDir().mkpath(f);
        const Contents before = writeFamily(f, "ORDERS", {"PX", "VAL"}, "x", ".db");
        for (const auto& [name, bytes] : before) {
            if (name != c.rootsFile) {
                giveToNobody(f + "/" + name);
            }
        }
        ::chmod(QFile::encodeName(f).constData(), c.folderMode);
        const int code = testing_support::runUnprivileged([&] {
            const auto family = files::FindTableFamily(files::pathOf(f), "ORDERS");
            const files::FamilyChange change = c.rename
                                                   ? files::RenameFamily(*family, "ORDERS", "ORD2")
                                                   : files::DeleteFamily(*family, "ORDERS");
            return change.done == c.done && change.message.contains(c.says) ? 0 : 1;
        });
        ::chmod(QFile::encodeName(f).constData(), 0700);
        EXPECT_EQ(code, 0) << c.says.toStdString();
        if (!c.done) {
            EXPECT_EQ(contentsIn(f), before) << c.says.toStdString();
        } else {
            EXPECT_EQ(filesIn(f), QStringList{"ORDERS.mb"});
        }
    }
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
        const files::MoveResult result = move(f + "/A.DB", f + "/B.DB");
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
    fill(desk.paradoxList, {"CUSTOMER", "ORDERS"}, {"CUSTOMER"});
    for (const QString& answer :
         {QString("ORDERS"), QString("CUSTOMER"), QString("customer"), QString("../escape"),
          QString("a/b"), QString("A") + QChar(0) + "B"}) {
        desk.dialogs.inputs = {answer};
        desk.run(maintenance::RenameParadoxTable);
    }
    EXPECT_EQ(desk.dialogs.messages().size(), 6);
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMER.DB", "ORDERS.DB"}));
    EXPECT_EQ(contentsOf(f + "/ORDERS.DB"), "orders");
    EXPECT_EQ(entriesOf(desk.paradoxList), (QStringList{"CUSTOMER", "ORDERS"}));
}

TEST_F(FileTest, AFileInASubfolderIsNotMovedButTheListShowsTheNewName) {
    QDir().mkpath(folder.path() + "/sub");
    writeFile(folder.path() + "/sub/DEEP.db");
    fill(desk.paradoxList, {"DEEP"}, {"DEEP"});
    desk.dialogs.inputs = {"Shallow"};
    desk.run(maintenance::RenameParadoxTable);
    EXPECT_TRUE(QFile::exists(folder.path() + "/sub/DEEP.db"));
    EXPECT_EQ(entriesOf(desk.paradoxList), QStringList{"Shallow"});
}

TEST(MoveByCopy, MovesAndKeepsTheContents) {
    QTemporaryDir folder;
    const QString from = folder.path() + "/A.DB";
    writeFile(from, QByteArray(300000, 'x'));
    QFile::setPermissions(from, QFile::ReadOwner | QFile::WriteOwner);
    const files::MoveResult result = move(from, folder.path() + "/B.DB");
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
    const files::MoveResult result = move(from, folder.path() + "/B.DB");
    full.lift();

    EXPECT_FALSE(result.moved);
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_EQ(filesIn(folder.path()), QStringList{"A.DB"});
    EXPECT_EQ(contentsOf(from), QByteArray(200000, 'y'));
}
