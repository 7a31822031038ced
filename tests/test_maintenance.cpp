#include "files/Files.h"
#include "files/MoveFile.h"
#include "files/TableFamily.h"
#include "maintenance/Maintenance.h"
#include "platform/paradox/Paradox.h"
#include "support/FileSizeLimit.h"
#include "support/TestWorkspace.h"
#include "support/Unprivileged.h"
#include "transfer/Statements.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
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

// Failures show names and contents as text.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
static void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}

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

// Every file below the folder, by its path there, with its contents.
Contents contentsIn(const QString& folder) {
    Contents contents;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        contents[QDir(folder).relativeFilePath(path)] = contentsOf(path);
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

// A move the way a file system without renames or links makes it.
files::FileMove move(const QString& from, const QString& to) {
    return files::moveFile(files::pathOf(from), files::pathOf(to), files::MoveWay::Copy);
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

TEST_P(DataSourceTest, ACancelledRenameDoesNothing) {
    fill(env.targetList, {"a", "b"}, {"a"});
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

namespace {

// A delete or rename of a Paradox table through its command. Lists hold
// names apart by spaces. The folder holds the files before, each with its own
// path as its contents; the Paradox list marks its selected entries with "*".
// A typed name makes the command a rename, none a delete. The command takes
// the files named: it deletes them, or renames each to the typed name with
// its own extension; every other file stays as it was.
struct FamilyCase {
    QString what;
    QString before; // below the folder
    QString listed;
    QString typed;
    QString takes;
    QString listedAfter;
    QString says; // the one message, %F standing for the folder; none when empty
};

QStringList namesIn(const QString& list) {
    return list.split(' ', Qt::SkipEmptyParts);
}

std::vector<FamilyCase> familyCases() {
    const QString c = "C.DB C.MB C.PX C.X02 C.Y02 C.XG0 C.YG0 C.val C.TV C.FAM C.SET C.F C.f1 "
                      "C.F14 C.R C.R9";
    const QString notes = "NOTES.DB NOTES.MB NOTES.PX NOTES.VAL ";
    const auto refused = [&](const QString& what, const QString& inTheWay, const QString& typed,
                             const QString& why) {
        const QString says = "The table NOTES was not renamed" + why;
        return FamilyCase{what, notes + inTheWay, "NOTES*", typed, "", "NOTES", says};
    };
    const QString otherCase = " Names that differ only in letter case are one name to Paradox "
                              "and to Windows shares. Nothing was moved.";
    return {
        {"delete: data file and companions in any letter case, not a longer name's, not below",
         "customer.db CUSTOMER.PX CUSTOMERS.PX ORDERS.DB ORDERS.PX Items.Db sub/DEEP.db",
         "CUSTOMER* ORDERS ITEMS* DEEP*", "", "customer.db CUSTOMER.PX Items.Db", "DEEP ORDERS",
         ""},
        {"delete: every companion, so a table renamed to the freed name meets none",
         c + " B.DB B.MB B.PX", "B C*", "", c, "B", ""},
        {"rename: every companion, each extension as it is; other names stay",
         c + " CX.PX C.BAK B.PX C.F15 C.R0 C.F01", "C* ORDERS", "Client", c, "Client ORDERS", ""},
        {"rename: of two spellings of the data file, the one the lookup finds first",
         "orders.Db Orders.db", "ORDERS* ORDERS", "Moved", "Orders.db", "Moved ORDERS", ""},
        {"rename: a companion that fits two data files only by letter case stays",
         "ORDERS.DB ORDERS.MB ORDERS.PX orders.db orders.mb Orders.VAL", "ORDERS* ORDERS", "SALES",
         "ORDERS.DB ORDERS.MB ORDERS.PX", "ORDERS SALES",
         "%F/Orders.VAL was left as it is, because its name fits more than one table of the "
         "folder (the same name in other letter case)."},
        {"rename: a table in a subfolder moves nothing, the list shows the new name", "sub/DEEP.db",
         "DEEP*", "Shallow", "", "Shallow", ""},
        refused("files of the new name", "Other.PX Other.VAL", "Other",
                ", because these files already exist: %F/Other.PX, %F/Other.VAL. Nothing was "
                "moved."),
        refused("a companion in other letter case", "OTHER.PX", "Other",
                ", because %F/OTHER.PX already exists." + otherCase),
        refused("another table's data file", "other.db", "Other",
                ", because %F/other.db already exists." + otherCase),
        refused("a form left over", "oThEr.F3 other.txt", "Other",
                ", because %F/oThEr.F3 already exists." + otherCase),
        refused("an index numbered in hexadecimal", "Other.Y0A", "Other",
                ", because %F/Other.Y0A already exists. Nothing was moved."),
        refused("the old name in other letter case", "", "notes",
                ". The new name is the same as the old one."),
        refused("a name leaving the folder", "", "../escape",
                ". The new name must not contain a \"/\"."),
        refused("a NUL character", "", QString::fromLatin1("A\0B", 3),
                ". The new name must not contain a NUL character."),
    };
}

// The files of a case as its command should leave them.
Contents contentsAfter(const FamilyCase& c) {
    Contents expected;
    for (const QString& name : namesIn(c.before)) {
        if (!namesIn(c.takes).contains(name)) {
            expected[name] = name.toUtf8();
        } else if (!c.typed.isEmpty()) {
            expected[c.typed + name.mid(name.lastIndexOf('.'))] = name.toUtf8();
        }
    }
    return expected;
}

// Fills the list with the case's entries and selects those marked.
void listCase(testing_support::MemoryList& list, const QString& listed) {
    list.clearAll();
    QStringList selected;
    for (QString entry : namesIn(listed)) {
        if (entry.endsWith('*')) {
            entry.chop(1);
            selected << entry;
        }
        list.add(entry);
    }
    list.setCurrent(0);
    for (const QString& name : selected) {
        for (int i = 0; i < list.count(); ++i) {
            if (list.textAt(i) == name && !list.isSelectedAt(i)) {
                list.setSelectedAt(i, true);
                break;
            }
        }
    }
}

} // namespace

TEST_F(FileTest, DeleteAndRenameTakeTheTablesFamilyAlone) {
    const QString f = folder.path();
    env.settings.folder = f + "/"; // a trailing separator gives "//", which works
    for (const FamilyCase& c : familyCases()) {
        SCOPED_TRACE(c.what.toStdString());
        QDir(f).removeRecursively();
        for (const QString& name : namesIn(c.before)) {
            QDir().mkpath(QFileInfo(f + "/" + name).path());
            writeFile(f + "/" + name, name.toUtf8());
        }
        listCase(env.paradoxList, c.listed);
        env.dialogs.shown.clear();
        if (c.typed.isEmpty()) {
            env.run(maintenance::deleteParadoxTables);
        } else {
            env.dialogs.inputs = {c.typed};
            env.run(maintenance::renameParadoxTable);
        }
        EXPECT_EQ(contentsIn(f), contentsAfter(c));
        EXPECT_EQ(entriesOf(env.paradoxList), namesIn(c.listedAfter));
        EXPECT_EQ(env.dialogs.messages(),
                  c.says.isEmpty() ? QStringList() : QStringList{QString(c.says).replace("%F", f)});
    }
}

// Where the file system renames no file without the risk of replacing
// another, the family moves by links, else by copies: each file stays itself
// (its inode) unless copied, which the message then says, and the table reads
// as before, from the memo file spelt like its data file (C.mb beside C.db,
// not the C.MB that comes first in byte order).
TEST_F(FileTest, RenameMovesTheWholeFamilyEachWay) {
    const QString f = folder.path();
    for (const files::MoveWay way : {files::MoveWay::Link, files::MoveWay::Copy}) {
        SCOPED_TRACE(static_cast<int>(way));
        QDir(f).removeRecursively();
        QDir().mkpath(f);
        const Contents before = writeFamily(f, "C", {"PX", "F14", "MB"}, {}, ".db");
        const ino_t inode = inodeOf(f + "/C.F14");
        const auto family = files::findTableFamily(files::pathOf(f), "C");
        const files::FamilyChange change = files::renameTableFamily(*family, "C", "CNEW", way);
        EXPECT_TRUE(change.done);
        EXPECT_EQ(change.message.contains("had to be copied"), way == files::MoveWay::Copy)
            << change.message.toStdString();
        Contents expected;
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

TEST(MoveByCopy, ACopyWhoseSourceCannotBeDeletedIsRemovedAgainNamingTheSource) {
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
        const files::FileMove result = move(f + "/A.DB", f + "/B.DB");
        const bool named = result.reason.contains(f + "/A.DB could not be deleted");
        return !result.moved && result.way == files::MoveWay::Copy && named ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(filesIn(f), QStringList{"A.DB"});
}

TEST(MoveByCopy, MovesAndKeepsTheContents) {
    QTemporaryDir folder;
    const QString from = folder.path() + "/A.DB";
    writeFile(from, QByteArray(300000, 'x'));
    QFile::setPermissions(from, QFile::ReadOwner | QFile::WriteOwner);
    const files::FileMove result = move(from, folder.path() + "/B.DB");
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
    const files::FileMove result = move(from, folder.path() + "/B.DB");
    full.lift();

    EXPECT_FALSE(result.moved);
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_EQ(filesIn(folder.path()), QStringList{"A.DB"});
    EXPECT_EQ(contentsOf(from), QByteArray(200000, 'y'));
}
