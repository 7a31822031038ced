#include "sources/Catalogues.h"
#include "support/Databases.h"
#include "support/Lists.h"
#include "support/Recording.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using testing_support::FixedSettings;

using testing_support::entriesOf;
using testing_support::touch;

namespace {

// The Paradox catalogue of a folder, in the order it was listed.
QStringList paradoxTablesOf(const QString& folder) {
    testing_support::MemoryList list{testing_support::MemoryList::Order::AsAdded};
    FixedSettings settings;
    settings.folder = folder;
    sources::listParadoxTables(list, settings);
    return entriesOf(list);
}

} // namespace

TEST(ParadoxCatalogue, NamesAreUpperCasedWithoutExtensionRootFirstLevelByLevel) {
    QTemporaryDir root;
    const QString r = root.path();
    touch(r + "/Customer.DB");
    touch(r + "/b1/orders.db");
    touch(r + "/a1/ITEMS.Db");
    touch(r + "/a1/deep/LEVEL3.db");
    touch(r + "/b1/deeper/LEVEL3B.db");
    touch(r + "/a.dbx.db");
    touch(r + "/~TMP.db");
    touch(r + "/notes.txt");
    touch(r + "/notes.db.bak");
    touch(r + QString::fromUtf8("/\u00c4rger.dB")); // not ASCII, matched as text
    QDir().mkpath(r + "/Old.db");
    touch(r + "/Old.db/INSIDE.db");

    const QStringList tables = paradoxTablesOf(r);
    // Root files first, then the first level, then the second; the order
    // within one folder is the file system's.
    ASSERT_EQ(tables.size(), 8);
    const auto level = [&](int from, int n) {
        QStringList part = tables.mid(from, n);
        part.sort();
        return part.join(' ');
    };
    EXPECT_EQ(level(0, 3), QString::fromUtf8("AX CUSTOMER \u00c4RGER"));
    EXPECT_EQ(level(3, 3), "INSIDE ITEMS ORDERS");
    EXPECT_EQ(level(6, 2), "LEVEL3 LEVEL3B");
}

TEST(ParadoxCatalogue, HiddenFoldersAreSkippedAndDuplicatesKept) {
    QTemporaryDir root;
    const QString r = root.path();
    touch(r + "/.hidden/SECRET.db");
    touch(r + "/.shown.db");
    touch(r + "/SAME.db");
    touch(r + "/sub/same.db");
    QStringList tables = paradoxTablesOf(r);
    EXPECT_FALSE(tables.contains("SECRET"));
    EXPECT_TRUE(tables.contains(".SHOWN"));
    EXPECT_EQ(tables.count("SAME"), 2);
    EXPECT_EQ(tables.last(), "SAME"); // the subfolder's comes after the root's
}

TEST(ParadoxCatalogue, LoopingLinksEndAndUnreadableFoldersDoNotStopTheWalk) {
    QTemporaryDir root;
    const QString r = root.path();
    touch(r + "/a/A.db");
    ASSERT_TRUE(QFile::link(r, r + "/a/back"));
    ASSERT_TRUE(QFile::link(r + "/a", r + "/a/self"));
    touch(r + "/locked/L.db");
    touch(r + "/z/Z.db");
    ::chmod(QFile::encodeName(r + "/locked").constData(), 0);

    // Root reads any folder, so the walk runs as an unprivileged user.
    testing_support::openToOthers(QFile::encodeName(r).constData());
    const int listed = testing_support::runUnprivileged([&] {
        const QStringList tables = paradoxTablesOf(r);
        return (tables.count("A") == 1 ? 1 : 0) | (tables.count("Z") == 1 ? 2 : 0) |
               (tables.contains("L") ? 4 : 0);
    });
    ::chmod(QFile::encodeName(r + "/locked").constData(), 0755);
    EXPECT_EQ(listed, 1 | 2) << "1: A listed once, 2: Z listed once, 4: L listed";
}

TEST(ParadoxConnectionTest, NeedsATableFileInTheFolderItself) {
    // What fails is in the setup window's test of the folder, which says why.
    QTemporaryDir root;
    FixedSettings settings;
    for (const char* name : {"~TMP.db", ".A.db", "X.DB"}) {
        QTemporaryDir one;
        touch(one.path() + "/" + name);
        settings.folder = one.path();
        EXPECT_TRUE(sources::testParadoxFolder(settings)) << name;
    }
    settings.folder = root.path() + "/locked";
    touch(settings.folder + "/IN.db");
    ::chmod(QFile::encodeName(settings.folder).constData(), 0);
    testing_support::openToOthers(QFile::encodeName(root.path()).constData());
    EXPECT_EQ(
        testing_support::runUnprivileged([&] { return sources::testParadoxFolder(settings); }), 0);
    // The setup window's test says why.
    const QString unreadable =
        QStringLiteral("The folder \"%1\" cannot be read: Permission denied.").arg(settings.folder);
    EXPECT_EQ(testing_support::runUnprivileged(
                  [&] { return sources::whyParadoxFolderFails(settings) == unreadable ? 1 : 0; }),
              1);
    ::chmod(QFile::encodeName(settings.folder).constData(), 0755);
}

class TargetCatalogue : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override {
        if (!database.open(GetParam())) {
            GTEST_SKIP() << testing_support::missingDataSource(GetParam()).toStdString();
        }
        settings.dataSource = database.name();
    }
    // A table named prefix, as spelled, with digits that no other run uses.
    QString createTable(const QString& prefix) {
        const QString table =
            prefix + testing_support::uniqueTableName("").remove(QRegularExpression("[^0-9_]"));
        database.createTableNamed(table);
        return table;
    }

    FixedSettings settings;
    testing_support::TargetDatabase database;
    odbc::OdbcOpener real;
};

TEST_P(TargetCatalogue, ListsUserTablesWithoutSysNamesAndReplacesTheList) {
    const QString orders = createTable("Orders");
    const QString kept = createTable("SY_S");
    QStringList hidden;
    for (const char* name : {"Systems", "mysys", "FileSystem", "easysync"}) {
        hidden << createTable(name);
    }
    const QString view = orders + "_v";
    database.connection().execute(QStringLiteral("CREATE VIEW \"%1\" AS SELECT 1 AS a").arg(view));

    testing_support::MemoryList list{testing_support::MemoryList::Order::AsAdded};
    list.add("stale entry");
    testing_support::RecordingOpener opener(real);
    sources::listTargetTables(list, settings, opener);
    database.connection().execute(QStringLiteral("DROP VIEW \"%1\"").arg(view));

    const QStringList names = entriesOf(list);
    EXPECT_TRUE(names.contains(orders)); // as the data source spells it
    EXPECT_TRUE(names.contains(kept));
    for (const QString& name : hidden) {
        EXPECT_FALSE(names.contains(name)) << name.toStdString();
    }
    EXPECT_FALSE(names.contains(view));
    EXPECT_FALSE(names.contains("stale entry"));
    // Tables of other databases the account can see are not the data source's.
    for (const char* elsewhere : {"elsewhere", "user", "db", "global_priv"}) {
        EXPECT_FALSE(names.contains(elsewhere)) << elsewhere;
    }
    EXPECT_EQ(opener.opened, QStringList{"Data Source=" + settings.dataSource});
    EXPECT_EQ(opener.closed, 1);
}

// A name pasted with blanks around it still names the data source.
TEST_P(TargetCatalogue, BlanksAroundTheNameAreNotPartOfIt) {
    const QString table = createTable("Blank");
    settings.dataSource = " " + database.name() + "\t ";
    EXPECT_TRUE(sources::testDataSource(settings, real));
    testing_support::MemoryList list;
    sources::listTargetTables(list, settings, real);
    EXPECT_TRUE(entriesOf(list).contains(table));
}

TEST_P(TargetCatalogue, AFailedOpenKeepsTheListAndTheGateFails) {
    testing_support::MemoryList list{testing_support::MemoryList::Order::AsAdded};
    list.add("kept");
    for (const QString& name : {QString("NoSuchDataSource"), QString()}) {
        settings.dataSource = name;
        EXPECT_THROW(sources::listTargetTables(list, settings, real), odbc::Error);
        EXPECT_EQ(entriesOf(list), QStringList{"kept"});
        EXPECT_FALSE(sources::testDataSource(settings, real));
    }
}

INSTANTIATE_TEST_SUITE_P(DataSources, TargetCatalogue,
                         ::testing::Values("SQLite", "PostgreSQL", "MariaDB"),
                         [](const auto& info) { return info.param.toStdString(); });

TEST(TargetCatalogueOfAnEmptyDataSource, IsEmpty) {
    const auto name = testing_support::dataSourceOf("Empty");
    if (!name) {
        GTEST_SKIP() << "no empty data source: set ORVANDEL_TEST_EMPTY_DSN (scripts/test does)";
    }
    FixedSettings settings;
    settings.dataSource = *name;
    testing_support::MemoryList list{testing_support::MemoryList::Order::AsAdded};
    list.add("stale entry");
    odbc::OdbcOpener real;
    sources::listTargetTables(list, settings, real);
    EXPECT_EQ(list.count(), 0);
}
