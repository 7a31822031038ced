#include "files/Files.h"
#include "files/MoveByCopy.h"
#include "files/TableFamily.h"
#include "maintenance/Maintenance.h"
#include "platform/paradox/Paradox.h"
#include "support/FileSizeLimit.h"
#include "support/TestWorkspace.h"
#include "support/Unprivileged.h"
#include "transfer/Statements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <tuple>
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
    const auto family = files::findTableFamily(files::pathOf(folder), name);
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

ino_t inodeOf(const QString& path) {
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status.st_ino;
}

// What a file is, apart from its name: inode, owner, group, mode, time of
// modification, allocated blocks, size and the extended attribute user.note.
using Identity =
    std::tuple<ino_t, uid_t, gid_t, mode_t, time_t, long, blkcnt_t, off_t, std::string>;

Identity identityOf(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    struct stat s {};
    ::stat(bytes.constData(), &s);
    char note[64] = {};
    const ssize_t size = ::getxattr(bytes.constData(), "user.note", note, sizeof note);
    return {s.st_ino,    s.st_uid,         s.st_gid,
            s.st_mode,   s.st_mtim.tv_sec, s.st_mtim.tv_nsec,
            s.st_blocks, s.st_size,        std::string(note, size > 0 ? size : 0)};
}

files::MoveResult move(const QString& from, const QString& to) {
    return files::moveByCopy(files::pathOf(from), files::pathOf(to));
}

// The same commands against SQLite, PostgreSQL and MariaDB.
class DataSourceTest : public testing_support::WorkspaceTest,
                       public ::testing::WithParamInterface<QString> {
protected:
    QString kind() const override { return GetParam(); }
};

using FileTest = testing_support::WorkspaceTest;

} // namespace

TEST_P(DataSourceTest, DropsTheSelectedTablesHighestIndexFirst) {
    const QString a = database.createTable("a"), b = database.createTable("b"),
                  c = database.createTable("c");
    const QString kept = database.createTable("d");
    const QString spaced = "Order Details " + testing_support::uniqueTableName("x");
    database.createTableNamed(spaced);
    fill(env.targetList, {a, b, c, kept, spaced}, {a, c, spaced, b});
    env.run(maintenance::dropTargetTables);

    EXPECT_TRUE(env.dialogs.shown.empty());
    // The list is sorted, and the walk goes from its last entry to its first.
    QStringList order{a, b, c, spaced};
    order.sort(Qt::CaseInsensitive);
    QStringList expected;
    for (auto name = order.crbegin(); name != order.crend(); ++name) {
        expected << "DROP TABLE \"" + *name + "\"";
    }
    EXPECT_EQ(sentStatements(), expected);
    EXPECT_EQ(entriesOf(env.targetList), QStringList{kept});
    EXPECT_FALSE(database.exists(a));
    EXPECT_TRUE(database.exists(kept));
}

TEST_P(DataSourceTest, AFailedDropKeepsTheRestListedAndReportsOnce) {
    const QString present = database.createTable("present");
    fill(env.targetList, {present, "aaa_missing_table"}, {present, "aaa_missing_table"});
    env.run(maintenance::dropTargetTables);
    // The walk drops the higher index first, then fails on the missing table.
    ASSERT_EQ(env.dialogs.messages().size(), 1);
    EXPECT_TRUE(env.dialogs.messages()[0].startsWith("Error "));
    EXPECT_EQ(entriesOf(env.targetList), QStringList{"aaa_missing_table"});
    EXPECT_EQ(env.pointer.setting, userio::DefaultPointer);
}

TEST_P(DataSourceTest, RenamesTheOneSelectedTable) {
    const QString orders = "Order Details " + database.createTable("orders");
    database.createTableNamed(orders);
    const QString sales = "Sales " + testing_support::uniqueTableName("s");
    database.own(sales);
    const QString other = database.createTable("aaa");
    fill(env.targetList, {orders, other}, {orders});
    env.dialogs.inputs = {sales};
    env.run(maintenance::renameTargetTable);

    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    EXPECT_EQ(env.dialogs.shown[0].text, "Enter new name of " + orders + ":");
    EXPECT_EQ(env.dialogs.shown[0].title, "Orvandel");
    EXPECT_EQ(env.dialogs.shown[0].defaultText, orders);
    EXPECT_EQ(sentStatements(),
              QStringList{"ALTER TABLE \"" + orders + "\" RENAME TO \"" + sales + "\";"});
    QStringList sorted{other, sales};
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(entriesOf(env.targetList), sorted);
    EXPECT_EQ(env.targetList.current(), 0);
    EXPECT_EQ(env.targetList.selectedCount(), 0);
    EXPECT_TRUE(database.exists(sales));
    EXPECT_FALSE(database.exists(orders));
}

TEST_P(DataSourceTest, RenameNeedsExactlyOneSelectionAndACancelDoesNothing) {
    fill(env.targetList, {"a", "b"}, {});
    env.run(maintenance::renameTargetTable);
    EXPECT_EQ(env.dialogs.messages(), QStringList{"Please select just one table to rename."});
    env.targetList.setSelectedAt(0, true);
    env.dialogs.inputs = {QString()};
    env.run(maintenance::renameTargetTable);
    EXPECT_TRUE(sentStatements().isEmpty());
    EXPECT_EQ(entriesOf(env.targetList), (QStringList{"a", "b"}));
}

INSTANTIATE_TEST_SUITE_P(DataSources, DataSourceTest,
                         ::testing::Values("SQLite", "PostgreSQL", "MariaDB"),
                         [](const auto& info) { return info.param.toStdString(); });

TEST_F(FileTest, RenameOfAnUnopenableDataSourceShowsOnlyTheError) {
    env.settings.dataSource = "NoSuchDataSource";
    env.run(maintenance::renameTargetTable);
    ASSERT_EQ(env.dialogs.messages().size(), 1);
    // The driver manager's error has no number of its own: none is shown.
    EXPECT_TRUE(env.dialogs.messages()[0].startsWith("IM002: "));
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
    fill(env.paradoxList, {"CUSTOMER", "ORDERS", "ITEMS", "DEEP"}, {"CUSTOMER", "ITEMS", "DEEP"});
    env.settings.folder = f + "/"; // a trailing separator gives "//", which works
    env.run(maintenance::deleteParadoxTables);

    EXPECT_TRUE(env.dialogs.shown.empty());
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMERS.PX", "ORDERS.DB", "ORDERS.PX"}));
    EXPECT_TRUE(QFile::exists(f + "/sub/DEEP.db"));
    EXPECT_EQ(entriesOf(env.paradoxList), (QStringList{"DEEP", "ORDERS"}));
}

TEST_F(FileTest, RenamesATableFileAndShowsTheNameAsTyped) {
    const QString f = folder.path();
    writeFile(f + "/CUSTOMER.DB", "customers");
    writeFile(f + "/CUSTOMER.PX");
    fill(env.paradoxList, {"CUSTOMER", "ORDERS"}, {"CUSTOMER"});
    env.dialogs.inputs = {"Client"};
    env.run(maintenance::renameParadoxTable);

    EXPECT_TRUE(env.dialogs.messages().isEmpty());
    EXPECT_EQ(filesIn(f), (QStringList{"Client.DB", "Client.PX"}));
    EXPECT_EQ(contentsOf(f + "/Client.DB"), "customers");
    EXPECT_EQ(entriesOf(env.paradoxList), (QStringList{"Client", "ORDERS"}));
    EXPECT_EQ(env.paradoxList.current(), 0);
}

TEST_F(FileTest, RenameTakesTheCaseVariantTheLookupFindsFirst) {
    const QString f = folder.path();
    writeFile(f + "/orders.Db", "second");
    writeFile(f + "/Orders.db", "first"); // "O" comes before "o" in byte order
    fill(env.paradoxList, {"ORDERS", "ORDERS"}, {"ORDERS"});
    env.paradoxList.setSelectedAt(1, false);
    env.dialogs.inputs = {"Moved"};
    env.run(maintenance::renameParadoxTable);
    EXPECT_EQ(filesIn(f), (QStringList{"Moved.db", "orders.Db"}));
    EXPECT_EQ(contentsOf(f + "/Moved.db"), "first");
    EXPECT_EQ(entriesOf(env.paradoxList), (QStringList{"Moved", "ORDERS"}));
}

// A keyed table with a memo field, two secondary indexes, validity checks,
// image settings, forms, reports, view and family files moves whole, each
// extension in its own letter case, and reads as before; files of other
// names stay. Each file stays itself (its inode) unless the file system makes
// the move a copy, which the message then says.
TEST_F(FileTest, RenameMovesTheWholeFamilyEachWay) {
    const QString f = folder.path();
    for (const files::MoveWay way :
         {files::MoveWay::Rename, files::MoveWay::Link, files::MoveWay::Copy}) {
        SCOPED_TRACE(static_cast<int>(way));
        QDir(f).removeRecursively();
        QDir().mkpath(f);
        const Contents before = writeFamily(f, "C",
                                            {"PX", "X02", "Y02", "XG0", "YG0", "val", "TV", "FAM",
                                             "SET", "F", "f1", "F14", "R", "R9"});
        for (const QString other : {"CX.PX", "C.BAK", "B.PX", "C.F15", "C.R0", "C.F01"}) {
            writeFile(f + "/" + other, other.toLatin1());
        }
        const ino_t inode = inodeOf(f + "/C.F14");
        if (way == files::MoveWay::Rename) {
            fill(env.paradoxList, {"C"}, {"C"});
            env.dialogs.inputs = {"CNEW"};
            env.run(maintenance::renameParadoxTable);
            EXPECT_TRUE(env.dialogs.messages().isEmpty())
                << env.dialogs.messages().join("|").toStdString();
            EXPECT_EQ(entriesOf(env.paradoxList), QStringList{"CNEW"});
        } else {
            const auto family = files::findTableFamily(files::pathOf(f), "C");
            const files::FamilyChange change = files::renameTableFamily(*family, "C", "CNEW", way);
            EXPECT_TRUE(change.done);
            EXPECT_EQ(change.message.contains("had to be copied"), way == files::MoveWay::Copy)
                << change.message.toStdString();
        }
        Contents expected;
        for (const QString other : {"CX.PX", "C.BAK", "B.PX", "C.F15", "C.R0", "C.F01"}) {
            expected[other] = other.toLatin1();
        }
        for (const auto& [name, bytes] : before) {
            expected[QString(name).replace(0, 1, "CNEW")] = bytes;
        }
        EXPECT_EQ(contentsIn(f), expected);
        EXPECT_EQ(inodeOf(f + "/CNEW.F14") == inode, way != files::MoveWay::Copy);
        EXPECT_EQ(readMemos(f, "CNEW"), std::vector<std::string>{"note of C"});
    }
}

// Each file keeps its inode, owner, group, mode, times and extended
// attributes, and a 1 GB sparse memo file moves without a block written.
TEST_F(FileTest, ARenameKeepsEveryFileAsItWas) {
    const QString f = folder.path();
    writeFamily(f, "C", {"PX", "X02", "SET", "F1", "R"});
    ASSERT_EQ(::truncate(QFile::encodeName(f + "/C.MB").constData(), off_t{1} << 30), 0);
    const timespec longAgo[2] = {{1000000000, 0}, {1000000000, 123456789}};
    std::map<QString, Identity> expected;
    for (const QString& name : filesIn(f)) {
        const QByteArray path = QFile::encodeName(f + "/" + name);
        giveToNobody(f + "/" + name); // only root may; others keep their own
        ::chmod(path.constData(), name.endsWith(".PX") ? 0640 : 0604);
        ::utimensat(AT_FDCWD, path.constData(), longAgo, 0);
        ::setxattr(path.constData(), "user.note", name.toUtf8().constData(),
                   static_cast<std::size_t>(name.toUtf8().size()), 0);
        expected[QString(name).replace(0, 1, "CNEW")] = identityOf(f + "/" + name);
    }
    fill(env.paradoxList, {"C"}, {"C"});
    env.dialogs.inputs = {"CNEW"};
    env.run(maintenance::renameParadoxTable);
    EXPECT_TRUE(env.dialogs.messages().isEmpty()) << env.dialogs.messages().join("|").toStdString();
    std::map<QString, Identity> found;
    for (const QString& name : filesIn(f)) {
        found[name] = identityOf(f + "/" + name);
    }
    EXPECT_EQ(found, expected);
}

// Where the file system makes the rename a copy, a copy that fails part way
// (the memo file, after C.FAM) puts back what had moved, and says so.
TEST_F(FileTest, ACopyingRenameThatFailsPartWayPutsBackWhatMoved) {
    const QString f = folder.path();
    const Contents before = writeFamily(f, "C", {"FAM", "PX", "X02"}, std::string(200000, 'm'));
    const auto family = files::findTableFamily(files::pathOf(f), "C");
    testing_support::FileSizeLimit full;
    full.limit(65536); // C.FAM fits, C.MB does not
    const files::FamilyChange change =
        files::renameTableFamily(*family, "C", "CNEW", files::MoveWay::Copy);
    full.lift();

    EXPECT_FALSE(change.done);
    for (const QString& part : {QString("The table C was not renamed"), f + "/C.MB",
                                QString("moved back, so the table is as it was")}) {
        EXPECT_TRUE(change.message.contains(part)) << change.message.toStdString();
    }
    EXPECT_EQ(contentsIn(f), before);
}

// Before anything moves: any file that would join the new name's family, in
// any letter case, another table's or left over, stops the rename.
TEST_F(FileTest, ARenameOntoAnyFileOfTheNewNameMovesNothing) {
    const QString f = folder.path();
    const QString otherCase =
        " Names that differ only in letter case are one name to Paradox and to Windows shares.";
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"Other.PX", "Other.VAL"},
         "these files already exist: " + f + "/Other.PX, " + f + "/Other.VAL."},
        {{"OTHER.PX"}, f + "/OTHER.PX already exists." + otherCase},
        {{"other.db"}, f + "/other.db already exists." + otherCase},
        {{"oThEr.F3", "other.txt"}, f + "/oThEr.F3 already exists." + otherCase},
        {{"Other.Y0A"}, f + "/Other.Y0A already exists."},
    };
    for (const auto& [inTheWay, says] : cases) {
        QDir(f).removeRecursively();
        QDir().mkpath(f);
        writeFamily(f, "NOTES", {"PX", "VAL"});
        for (const QString& name : inTheWay) {
            writeFile(f + "/" + name, "in the way");
        }
        const Contents before = contentsIn(f);
        env.paradoxList.clearAll();
        fill(env.paradoxList, {"NOTES"}, {"NOTES"});
        env.dialogs.shown.clear();
        env.dialogs.inputs = {"Other"};
        env.run(maintenance::renameParadoxTable);
        EXPECT_EQ(env.dialogs.messages(), QStringList{"The table NOTES was not renamed, because " +
                                                      says + " Nothing was moved."});
        EXPECT_EQ(contentsIn(f), before);
        EXPECT_EQ(entriesOf(env.paradoxList), QStringList{"NOTES"});
    }
}

// Delete takes every companion along, so a table renamed to the freed name
// later is not paired with the old table's indexes and checks.
TEST_F(FileTest, DeleteThenRenameAnotherTableToTheFreedName) {
    const QString f = folder.path();
    writeFamily(f, "C", {"PX", "X02", "Y02", "X03", "Y03", "VAL", "TV", "FAM"});
    const Contents b = writeFamily(f, "B", {"PX"});
    fill(env.paradoxList, {"B", "C"}, {"C"});
    env.run(maintenance::deleteParadoxTables);
    EXPECT_TRUE(env.dialogs.messages().isEmpty());
    EXPECT_EQ(contentsIn(f), b);
    EXPECT_EQ(entriesOf(env.paradoxList), QStringList{"B"});

    env.paradoxList.setSelectedAt(0, true);
    env.dialogs.inputs = {"C"};
    env.run(maintenance::renameParadoxTable);
    EXPECT_TRUE(env.dialogs.messages().isEmpty());
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
    fill(env.paradoxList, {"ORDERS", "ORDERS"}, {"ORDERS"});
    env.paradoxList.setSelectedAt(1, false);
    env.dialogs.inputs = {"SALES"};
    env.run(maintenance::renameParadoxTable);
    EXPECT_EQ(env.dialogs.messages(),
              QStringList{f + "/Orders.VAL was left as it is, because its name fits more than one "
                              "table of the folder (the same name in other letter case)."});
    EXPECT_EQ(filesIn(f), (QStringList{"Orders.VAL", "SALES.DB", "SALES.MB", "SALES.PX",
                                       "orders.db", "orders.mb"}));
    EXPECT_EQ(readMemos(f, "SALES"), std::vector<std::string>{"note of ORDERS"});

    // Now orders.db is the only table of that name: the checks are its own.
    fill(env.paradoxList, {}, {"ORDERS"});
    env.run(maintenance::deleteParadoxTables);
    EXPECT_EQ(env.dialogs.messages().size(), 1);
    EXPECT_EQ(filesIn(f), (QStringList{"SALES.DB", "SALES.MB", "SALES.PX"}));
}

// As another user: a file that cannot be renamed leaves the table as it was
// (what moved before it moved back), wherever it comes in the moves; a folder that
// refuses the delete gets a sentence, not the library's error; a companion
// that cannot go is named.
TEST_F(FileTest, FilesThatCannotBeRemovedLeaveWholeTablesAndSaySo) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user (CI runs as root)";
    }
    const QString f = folder.path();
    struct Case {
        mode_t folderMode;
        QString rootsFile; // the one file the other user cannot rename or delete
        bool rename;
        bool done;
        QString says;
    };
    for (const Case& c :
         {Case{01777, "ORDERS.db", true, false,
               "/ORD2.db: Operation not permitted. The files moved before it were moved back"},
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
            const auto family = files::findTableFamily(files::pathOf(f), "ORDERS");
            const files::FamilyChange change =
                c.rename ? files::renameTableFamily(*family, "ORDERS", "ORD2")
                         : files::deleteTableFamily(*family, "ORDERS");
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
    fill(env.paradoxList, {"CUSTOMER", "ORDERS"}, {"CUSTOMER"});
    for (const QString& answer :
         {QString("ORDERS"), QString("CUSTOMER"), QString("customer"), QString("../escape"),
          QString("a/b"), QString("A") + QChar(0) + "B"}) {
        env.dialogs.inputs = {answer};
        env.run(maintenance::renameParadoxTable);
    }
    EXPECT_EQ(env.dialogs.messages().size(), 6);
    EXPECT_EQ(filesIn(f), (QStringList{"CUSTOMER.DB", "ORDERS.DB"}));
    EXPECT_EQ(contentsOf(f + "/ORDERS.DB"), "orders");
    EXPECT_EQ(entriesOf(env.paradoxList), (QStringList{"CUSTOMER", "ORDERS"}));
}

TEST_F(FileTest, AFileInASubfolderIsNotMovedButTheListShowsTheNewName) {
    QDir().mkpath(folder.path() + "/sub");
    writeFile(folder.path() + "/sub/DEEP.db");
    fill(env.paradoxList, {"DEEP"}, {"DEEP"});
    env.dialogs.inputs = {"Shallow"};
    env.run(maintenance::renameParadoxTable);
    EXPECT_TRUE(QFile::exists(folder.path() + "/sub/DEEP.db"));
    EXPECT_EQ(entriesOf(env.paradoxList), QStringList{"Shallow"});
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
