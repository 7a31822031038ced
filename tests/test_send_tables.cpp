#include "files/Files.h"
#include "maintenance/Maintenance.h"
#include "sources/Catalogues.h"
#include "support/TestWorkspace.h"
#include "transfer/SendTables.h"
#include "transfer/Statements.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>

namespace pw = paradox_writer;
using Answer = userio::Dialogs::Answer;
using testing_support::designOf;
using testing_support::entriesOf;
using testing_support::fill;

namespace {

const pw::TableDesign ordersDesign =
    designOf({{"ID", pw::Long}, {"NAME", pw::Alpha, 20}, {"PLACED", pw::Date}});

class SendTablesTest : public testing_support::WorkspaceTest {
protected:
    void send() { env.run(transfer::sendTables); }
    QStringList messages() const { return env.dialogs.messages(); }
    std::string shownText() const { return messages().join("|").toStdString(); }
};

} // namespace

TEST_F(SendTablesTest, StatementTextsAreExactlyTheExpectedOnes) {
    const QString t = addParadoxTable("orders", ordersDesign,
                                      {{std::int64_t{12}, std::string("O'Hara"), {}},
                                       {{}, std::string("x"), std::int64_t{730120}},
                                       {{}, {}, {}},
                                       {std::int64_t{1}, std::string("'"), {}}});
    send();
    EXPECT_TRUE(env.dialogs.shown.empty());
    const QString q = "\"" + t + "\"";
    EXPECT_EQ(env.opener.statements,
              (QStringList{"CREATE TABLE " + q + "(\"ID\" NUMERIC,\"NAME\" TEXT,\"PLACED\" TEXT);",
                           "INSERT INTO " + q + " VALUES('12', 'O''Hara', NULL)",
                           "INSERT INTO " + q + " VALUES(NULL, 'x', '2000-01-01')",
                           "INSERT INTO " + q + " VALUES(NULL, NULL, NULL)",
                           "INSERT INTO " + q + " VALUES('1', '''', NULL)"}));
    EXPECT_EQ(database.rowsOf(t).size(), 4u);
    EXPECT_EQ(entriesOf(env.targetList), QStringList{t});
    EXPECT_EQ(env.opener.closed, 1);
    EXPECT_EQ(env.pointer.setting, userio::DefaultPointer);
}

TEST_F(SendTablesTest, MoneyAndBcdBecomeNumericAndTimesTimestampText) {
    const QString t = addParadoxTable(
        "kinds",
        designOf({{"M", pw::Money}, {"B", pw::Bcd, 2}, {"T", pw::Time}, {"S", pw::Timestamp}}),
        {{12.25, std::string("-1.50"), std::int64_t{3723000},
          std::int64_t{730120LL * 86400000 + 1000}}});
    send();
    ASSERT_TRUE(env.dialogs.shown.empty()) << shownText();
    EXPECT_EQ(env.opener.statements.at(0),
              "CREATE TABLE \"" + t + "\"(\"M\" NUMERIC,\"B\" NUMERIC,\"T\" TEXt,\"S\" TEXt);");
    EXPECT_EQ(env.opener.statements.at(1), "INSERT INTO \"" + t +
                                               "\" VALUES('12.25', '-1.5', '01:02:03', "
                                               "'2000-01-01 00:00:01')");
    // SQLite gives NUMERIC columns numeric affinity: the money is a number.
    const odbc::Rows kinds = database.connection().query(
        "SELECT typeof(\"M\"), typeof(\"B\"), typeof(\"T\") FROM \"" + t + "\"");
    EXPECT_EQ(kinds.rows.at(0),
              (std::vector<odbc::Value>{QString("real"), QString("real"), QString("text")}));
}

// Case variants of one table name are three tables: each command takes the
// one the lookup finds first, <NAME>.DB, then <NAME>.db, then the rest in
// byte order.
TEST_F(SendTablesTest, SendTakesTheSameCaseVariantAsDelete) {
    const QString name = testing_support::uniqueTableName("variant").toUpper();
    const pw::TableDesign design = designOf({{"ID", pw::Long}});
    const QString lower = name.toLower();
    const QString mixed = name.left(1) + lower.mid(1);
    const QString f = folder.path();
    pw::writeTable((f + "/" + mixed + ".db").toStdString(), design, {{std::int64_t{1}}});
    pw::writeTable((f + "/" + lower + ".Db").toStdString(), design, {{std::int64_t{2}}});
    pw::writeTable((f + "/" + name + ".DB").toStdString(), design, {{std::int64_t{3}}});
    database.own(name);
    for (const qint64 expected : {3, 1, 2}) {
        fill(env.paradoxList, {name}, {name});
        env.dialogs.answers = {Answer::Yes};
        send();
        ASSERT_EQ(database.rowsOf(name).size(), 1u);
        EXPECT_EQ(database.rowsOf(name)[0][0], QString::number(expected));
        env.run(maintenance::deleteParadoxTables); // deletes the file just sent
        EXPECT_EQ(env.paradoxList.count(), 0);
    }
    EXPECT_TRUE(QDir(f).entryList(QDir::Files).isEmpty());
}

TEST_F(SendTablesTest, ATableOfASubfolderStopsTheSendSayingWhere) {
    const QString later = addParadoxTable("a_root", ordersDesign, {});
    QDir().mkpath(folder.path() + "/old/1999");
    const QString deep = testing_support::uniqueTableName("z_deep").toUpper();
    pw::writeTable((folder.path() + "/old/1999/" + deep + ".db").toStdString(), ordersDesign, {});
    fill(env.paradoxList, {deep}, {deep, later});
    send();
    ASSERT_EQ(messages().size(), 1);
    const QString text = messages()[0];
    for (const QString& part : {deep, QString("subfolder \"old/1999\""),
                                QString("set the Paradox folder to that subfolder")}) {
        EXPECT_TRUE(text.contains(part)) << text.toStdString();
    }
    EXPECT_FALSE(entriesOf(env.targetList).contains(later)); // walked after it

    fill(env.paradoxList, {"NOWHERE"}, {"NOWHERE"});
    send();
    EXPECT_TRUE(messages().last().contains("no data file (NOWHERE.DB)")) << shownText();
}

// Any folder name Linux allows, and file names that are not UTF-8, work for
// sending, deleting and renaming.
TEST_F(SendTablesTest, FolderAndFileNamesThatLinuxAllows) {
    env.settings.folder = folder.path() + QString::fromUtf8("/a;b=c {d} 'e\" \xC3\xA9");
    ASSERT_TRUE(QDir().mkpath(env.settings.folder));
    const QString t = addParadoxTable("odd", designOf({{"N", pw::Long}, {"M", pw::Memo, 11}}),
                                      {{std::int64_t{7}, std::string("memo text")}});
    // CAFÉ.db with the É in Latin-1, as copied from an old system.
    const std::string latin1 = (files::pathOf(env.settings.folder) / "CAF\xC9.db").native();
    pw::writeTable(latin1, ordersDesign, {{std::int64_t{9}, {}, {}}});

    env.paradoxList.clearAll();
    sources::listParadoxTables(env.paradoxList, env.settings);
    const QString cafe = QString::fromUtf8("CAF\xC3\x89");
    EXPECT_EQ(entriesOf(env.paradoxList), (QStringList{cafe, t}));
    database.own(cafe);
    fill(env.paradoxList, {}, {cafe, t});
    send();
    ASSERT_TRUE(env.dialogs.shown.empty()) << shownText();
    EXPECT_EQ(database.rowsOf(t).at(0),
              (std::vector<odbc::Value>{QString("7"), QString("memo text")}));
    EXPECT_EQ(database.rowsOf(cafe).at(0).at(0), QString("9"));

    // Rename moves the data and memo files; delete removes the Latin-1 file.
    fill(env.paradoxList, {}, {t});
    env.dialogs.inputs = {"Renamed"};
    env.run(maintenance::renameParadoxTable);
    EXPECT_TRUE(QFile::exists(env.settings.folder + "/Renamed.db"));
    EXPECT_TRUE(QFile::exists(env.settings.folder + "/Renamed.mb"));
    fill(env.paradoxList, {}, {cafe});
    env.run(maintenance::deleteParadoxTables);
    EXPECT_FALSE(std::filesystem::exists(latin1));
    EXPECT_EQ(entriesOf(env.paradoxList), QStringList{"Renamed"});
    EXPECT_TRUE(messages().isEmpty()) << shownText();
}

namespace {

// The overwrite question and what follows it, on every engine.
class OverwriteTest : public SendTablesTest, public ::testing::WithParamInterface<QString> {
protected:
    QString kind() const override { return GetParam(); }
};

} // namespace

TEST_P(OverwriteTest, QuestionsComeInReverseOrderAndNoKeepsThatTable) {
    QStringList names;
    for (const char* prefix : {"a", "b", "c"}) {
        names << addParadoxTable(prefix, ordersDesign, {{std::int64_t{1}, {}, {}}});
        database.createTableNamed(names.last());
        env.targetList.add(names.last());
    }
    env.dialogs.answers = {Answer::Yes, Answer::No, Answer::Yes};
    send();

    ASSERT_EQ(env.dialogs.shown.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(env.dialogs.shown[i].text, "Would you like to overwrite " + names[2 - i] + "?");
    }
    EXPECT_EQ(env.dialogs.shown[0].title, "Overwrite?");
    EXPECT_TRUE(env.dialogs.shown[0].defaultYes);
    EXPECT_EQ(database.rowsOf(names[0]).size(), 1u);
    EXPECT_EQ(database.rowsOf(names[2]).size(), 1u);
    EXPECT_NO_THROW(database.connection().query("SELECT old FROM \"" + names[1] + "\""));
    EXPECT_EQ(entriesOf(env.targetList).count(names[1]), 1);
    EXPECT_EQ(env.opener.statements.filter("DROP TABLE").size(), 2);
}

TEST_P(OverwriteTest, TheTargetSpellingIsUsedEverywhere) {
    const QString upper = addParadoxTable("orders", ordersDesign, {{std::int64_t{5}, {}, {}}});
    const QString lower = upper.toLower();
    database.createTableNamed(lower);
    env.targetList.add(lower);
    env.dialogs.answers = {Answer::Yes};
    send();
    EXPECT_EQ(env.dialogs.shown.at(0).text, "Would you like to overwrite " + lower + "?");
    for (const QString& statement : sentStatements()) {
        EXPECT_TRUE(statement.contains("\"" + lower + "\"")) << statement.toStdString();
    }
    EXPECT_EQ(entriesOf(env.targetList), QStringList{lower});
}

// Where names differ by letter case, the exact spelling is asked about and
// replaced, and the other spellings keep their tables.
TEST_P(OverwriteTest, TheExactSpellingIsReplacedWhereOthersDifferOnlyInCase) {
    if (GetParam() == "SQLite") {
        GTEST_SKIP() << "SQLite holds one table whatever the letter case of its name";
    }
    const QString upper = addParadoxTable("Cases", ordersDesign, {{std::int64_t{5}, {}, {}}});
    QString mixed = upper.toLower();
    mixed[0] = mixed[0].toUpper();
    for (const QStringList& others : {QStringList{mixed}, QStringList{mixed, upper.toLower()}}) {
        SCOPED_TRACE(others.join(",").toStdString());
        env.targetList.clearAll();
        for (const QString& name : others + QStringList{upper}) {
            testing_support::dropTableIfExists(database.connection(), name);
            database.createTableNamed(name);
            env.targetList.add(name);
        }
        env.dialogs.shown.clear();
        env.dialogs.answers = {Answer::Yes};
        send();
        ASSERT_EQ(env.dialogs.shown.size(), 1u) << shownText();
        EXPECT_EQ(env.dialogs.shown[0].text, "Would you like to overwrite " + upper + "?");
        EXPECT_EQ(database.rowsOf(upper).size(), 1u);
        for (const QString& other : others) {
            EXPECT_NO_THROW(database.connection().query("SELECT old FROM \"" + other + "\""));
        }
        EXPECT_EQ(entriesOf(env.targetList).count(upper), 1);
        EXPECT_EQ(env.targetList.count(), others.size() + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(DataSources, OverwriteTest,
                         ::testing::Values("SQLite", "PostgreSQL", "MariaDB"),
                         [](const auto& info) { return info.param.toStdString(); });

TEST_F(SendTablesTest, TheBarShowsTheShareOfRowsBegunThenZero) {
    const QString empty = addParadoxTable("empty", ordersDesign, {});
    send();
    EXPECT_EQ(env.bar.shown, std::vector<double>{0});
    EXPECT_TRUE(database.rowsOf(empty).empty());
    EXPECT_TRUE(entriesOf(env.targetList).contains(empty));

    const std::vector<pw::Row> four(4, pw::Row{std::int64_t{1}, {}, {}});
    for (const std::size_t rows : {4, 3}) {
        fill(env.paradoxList, {}, {});
        addParadoxTable("rows", ordersDesign, {four.begin(), four.begin() + rows});
        env.bar.shown.clear();
        send();
        std::vector<double> expected;
        for (std::size_t r = 1; r <= rows; ++r) {
            expected.push_back(static_cast<double>(r) / static_cast<double>(rows) * 100.0);
        }
        expected.push_back(0);
        EXPECT_EQ(env.bar.shown, expected);
    }
}

TEST_F(SendTablesTest, DoubleQuotesInNamesCannotBreakOut) {
    const QString name = testing_support::uniqueTableName("Q").toUpper() + "\"X";
    pw::writeTable((folder.path() + "/" + name + ".db").toStdString(),
                   designOf({{"A\"B", pw::Alpha, 5}}), {{std::string("v")}});
    fill(env.paradoxList, {name}, {name});
    database.own(name);
    send();
    EXPECT_TRUE(env.dialogs.shown.empty());
    QString doubled = name;
    doubled.replace("\"", "\"\"");
    EXPECT_EQ(env.opener.statements.at(0), "CREATE TABLE \"" + doubled + "\"(\"A\"\"B\" TEXT);");
    EXPECT_EQ(database.rowsOf(name).size(), 1u);
}

namespace {

// The same run against a real server: what arrives must read back unchanged.
class SendToServerTest : public SendTablesTest {
protected:
    QString kind() const override { return QStringLiteral("PostgreSQL"); }
};

} // namespace

TEST_F(SendToServerTest, ValuesArriveWhole) {
    const pw::TableDesign design = designOf({{"NAME", pw::Alpha, 30},
                                             {"AMOUNT", pw::Number},
                                             {"PRICE", pw::Money},
                                             {"COUNT", pw::Short},
                                             {"PAID", pw::Logical},
                                             {"WHEN", pw::Timestamp},
                                             {"NOTE", pw::Memo, 11}});
    const std::string longNote(70000, 'n');
    const QString t = addParadoxTable(
        "values", design,
        {{std::string("\xC6r\xF8 caf\xE9"), 7.489999999999999, 12.5, std::int64_t{-3}, true,
          std::int64_t{730120LL * 86400000 + 3723000}, longNote}});
    send();
    ASSERT_TRUE(env.dialogs.shown.empty()) << shownText();
    EXPECT_EQ(
        database.rowsOf(t),
        (std::vector<std::vector<odbc::Value>>{
            {QString::fromUtf8("Ærø café"), QString("7.49"), QString("12.5"), QString("-3"),
             QString("True"), QString("2000-01-01 01:02:03"), QString::fromStdString(longNote)}}));
}

// A role that needs a password is reached with PWD= typed after the name.
TEST_F(SendToServerTest, KeysAfterTheDataSourceNameReachTheDriver) {
    const QString dsn = qEnvironmentVariable("ORVANDEL_TEST_PASSWORD_DSN");
    if (dsn.isEmpty()) {
        GTEST_SKIP()
            << "set ORVANDEL_TEST_PASSWORD_DSN and ORVANDEL_TEST_PASSWORD (scripts/test does)";
    }
    const QString t = addParadoxTable("pwd", ordersDesign, {{std::int64_t{1}, {}, {}}});
    env.settings.dataSource = dsn;
    EXPECT_FALSE(sources::passGate(env.settings, env.real));
    send();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].contains("password")) << shownText();

    env.settings.dataSource = dsn + ";PWD=" + qEnvironmentVariable("ORVANDEL_TEST_PASSWORD");
    EXPECT_TRUE(sources::passGate(env.settings, env.real));
    send();
    EXPECT_EQ(messages().size(), 1);
    EXPECT_EQ(database.rowsOf(t).size(), 1u);
}

TEST(StatementTexts, DoubleQuotesInNamesAreDoubled) {
    EXPECT_EQ(transfer::dropTableStatement(QStringLiteral("Order Details")),
              QStringLiteral("DROP TABLE \"Order Details\""));
    EXPECT_EQ(transfer::dropTableStatement(QStringLiteral("a\"b")),
              QStringLiteral("DROP TABLE \"a\"\"b\""));
    EXPECT_EQ(transfer::renameTableStatement(QStringLiteral("Orders"), QStringLiteral("x\"; DROP")),
              QStringLiteral("ALTER TABLE \"Orders\" RENAME TO \"x\"\"; DROP\";"));
    transfer::CreateTableText create(QStringLiteral("t"), {});
    create.addColumn(QStringLiteral("a\"b"), 200);
    EXPECT_EQ(create.finish(), QStringLiteral("CREATE TABLE \"t\"(\"a\"\"b\" TEXT);"));
}
