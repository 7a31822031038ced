#include "files/Files.h"
#include "shell/Form2.h"
#include "sources/Catalogues.h"
#include "support/Databases.h"
#include "support/Lists.h"
#include "paradox-writer/ParadoxWriter.h"
#include "support/Recording.h"
#include "support/ScriptedDialogs.h"
#include "transfer/Statements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pw = paradox_writer;
using testing_support::ScriptedDialogs;
using Answer = ui::Dialogs::Answer;

using testing_support::entriesOf;
using testing_support::fill;
using testing_support::touch;

namespace {

pw::TableDesign designOf(std::vector<pw::Column> columns) {
    pw::TableDesign design;
    design.columns = std::move(columns);
    return design;
}

const pw::TableDesign ordersDesign =
    designOf({{"ID", pw::Long}, {"NAME", pw::Alpha, 20}, {"PLACED", pw::Date}});

// The main window over a real data source and a real folder of Paradox
// tables, with every statement recorded.
class SendTablesTest : public ::testing::Test {
protected:
    virtual std::optional<QString> dataSource() { return testing_support::sqliteDataSource(); }

    void SetUp() override {
        const auto name = dataSource();
        if (!name) {
            GTEST_SKIP() << testing_support::missingDataSource("SQLite").toStdString();
        }
        settings.folder = folder.path();
        settings.dataSource = *name;
        database = testing_support::openDataSource(*name);
        window = std::make_unique<shell::Form2>(dialogs, settings, opener);
        QObject::connect(window->ProgressBar1, &shell::Progress::percentChanged,
                         [this](double percent) { bar.push_back(percent); });
    }

    void TearDown() override {
        for (const QString& table : created) {
            testing_support::dropTableIfExists(*database, table);
        }
    }

    // Writes a Paradox table under a fresh upper-case name and lists it in List2.
    QString addParadoxTable(const QString& prefix, const pw::TableDesign& design,
                            const std::vector<pw::Row>& rows, bool selected = true) {
        const QString name = testing_support::uniqueTableName(prefix).toUpper();
        pw::writeTable((settings.folder + "/" + name + ".db").toStdString(), design, rows);
        window->List2->add(name);
        window->List2->setSelectedAt(indexIn(*window->List2, name), selected);
        window->List2->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        created << name;
        return name;
    }

    // Creates a table in the data source and lists it in List1 as spelled.
    void addTargetTable(const QString& name) {
        database->execute("CREATE TABLE \"" + name + "\"(old TEXT)");
        window->List1->add(name);
        created << name;
    }

    static int indexIn(const ui::TableList& list, const QString& text) {
        for (int i = 0; i < list.count(); ++i) {
            if (list.textAt(i) == text) {
                return i;
            }
        }
        return -1;
    }

    std::vector<std::vector<odbc::Value>> rowsOf(const QString& table) {
        return database->query(testing_support::selectAllFrom(table)).rows;
    }

    void send() { window->Check4->click(); }

    QTemporaryDir folder;
    testing_support::FixedSettings settings;
    ScriptedDialogs dialogs;
    odbc::OdbcOpener real;
    testing_support::RecordingOpener opener{real};
    std::unique_ptr<odbc::Connection> database;
    std::unique_ptr<shell::Form2> window;
    std::vector<double> bar;
    QStringList created;
};

} // namespace

TEST_F(SendTablesTest, StatementTextsAreExactlyTheExpectedOnes) {
    const QString t = addParadoxTable("orders", ordersDesign,
                                      {{std::int64_t{12}, std::string("O'Hara"), {}},
                                       {{}, std::string("x"), std::int64_t{730120}},
                                       {{}, {}, {}},
                                       {std::int64_t{1}, std::string("'"), {}}});
    send();
    EXPECT_TRUE(dialogs.shown.empty());
    const QString q = "\"" + t + "\"";
    EXPECT_EQ(opener.statements,
              (QStringList{"CREATE TABLE " + q + "(\"ID\" NUMERIC,\"NAME\" TEXT,\"PLACED\" TEXT);",
                           "INSERT INTO " + q + " VALUES('12', 'O''Hara', NULL)",
                           "INSERT INTO " + q + " VALUES(NULL, 'x', '2000-01-01')",
                           "INSERT INTO " + q + " VALUES(NULL, NULL, NULL)",
                           "INSERT INTO " + q + " VALUES('1', '''', NULL)"}));
    EXPECT_EQ(rowsOf(t).size(), 4u);
    EXPECT_EQ(entriesOf(*window->List1), QStringList{t});
    EXPECT_EQ(opener.closed, 1);
    EXPECT_EQ(window->pointer(), shell::DefaultPointer);
}

TEST_F(SendTablesTest, MoneyAndBcdBecomeNumericAndTimesTimestampText) {
    const QString t = addParadoxTable(
        "kinds",
        designOf({{"M", pw::Money}, {"B", pw::Bcd, 2}, {"T", pw::Time}, {"S", pw::Timestamp}}),
        {{12.25, std::string("-1.50"), std::int64_t{3723000},
          std::int64_t{730120LL * 86400000 + 1000}}});
    send();
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.messages().join("|").toStdString();
    EXPECT_EQ(opener.statements.at(0),
              "CREATE TABLE \"" + t + "\"(\"M\" NUMERIC,\"B\" NUMERIC,\"T\" TEXt,\"S\" TEXt);");
    EXPECT_EQ(opener.statements.at(1), "INSERT INTO \"" + t +
                                           "\" VALUES('12.25', '-1.5', '01:02:03', "
                                           "'2000-01-01 00:00:01')");
    // SQLite gives NUMERIC columns numeric affinity: the money is a number.
    const odbc::Rows kinds =
        database->query("SELECT typeof(\"M\"), typeof(\"B\"), typeof(\"T\") FROM \"" + t + "\"");
    EXPECT_EQ(kinds.rows.at(0),
              (std::vector<odbc::Value>{QString("real"), QString("real"), QString("text")}));
}

// Case variants of one table name are three tables: each command takes the
// one the lookup finds first, <NAME>.DB, then <NAME>.db, then the rest in
// byte order.
TEST_F(SendTablesTest, SendTakesTheSameCaseVariantAsDeleteAndRename) {
    const QString name = testing_support::uniqueTableName("variant").toUpper();
    const pw::TableDesign design = designOf({{"ID", pw::Long}});
    const QString lower = name.toLower();
    const QString mixed = name.left(1) + lower.mid(1);
    pw::writeTable((folder.path() + "/" + mixed + ".db").toStdString(), design,
                   {{std::int64_t{1}}});
    pw::writeTable((folder.path() + "/" + lower + ".Db").toStdString(), design,
                   {{std::int64_t{2}}});
    pw::writeTable((folder.path() + "/" + name + ".DB").toStdString(), design, {{std::int64_t{3}}});
    created << name;
    for (const qint64 expected : {3, 1, 2}) {
        fill(*window->List2, {name}, {name});
        dialogs.answers = {Answer::Yes};
        send();
        ASSERT_EQ(rowsOf(name).size(), 1u);
        EXPECT_EQ(rowsOf(name)[0][0], QString::number(expected));
        window->Check5->click(); // deletes the file just sent
        EXPECT_EQ(window->List2->count(), 0);
    }
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(SendTablesTest, ATableOfASubfolderStopsTheSendSayingWhere) {
    const QString later = addParadoxTable("a_root", ordersDesign, {});
    QDir().mkpath(folder.path() + "/old/1999");
    const QString deep = testing_support::uniqueTableName("z_deep").toUpper();
    pw::writeTable((folder.path() + "/old/1999/" + deep + ".db").toStdString(), ordersDesign, {});
    fill(*window->List2, {deep}, {deep, later});
    send();
    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString text = dialogs.messages()[0];
    EXPECT_TRUE(text.contains(deep)) << text.toStdString();
    EXPECT_TRUE(text.contains("subfolder \"old/1999\"")) << text.toStdString();
    EXPECT_TRUE(text.contains("set the Paradox folder to that subfolder")) << text.toStdString();
    EXPECT_FALSE(entriesOf(*window->List1).contains(later)); // walked after it

    fill(*window->List2, {"NOWHERE"}, {"NOWHERE"});
    send();
    EXPECT_TRUE(dialogs.messages().last().contains("no data file (NOWHERE.DB)"))
        << dialogs.messages().last().toStdString();
}

// Any folder name Linux allows, and file names that are not UTF-8, work for
// sending, deleting and renaming.
TEST_F(SendTablesTest, FolderAndFileNamesThatLinuxAllows) {
    settings.folder = folder.path() + QString::fromUtf8("/a;b=c {d} 'e\" \xC3\xA9");
    ASSERT_TRUE(QDir().mkpath(settings.folder));
    const QString t = addParadoxTable("odd", designOf({{"N", pw::Long}, {"M", pw::Memo, 11}}),
                                      {{std::int64_t{7}, std::string("memo text")}});
    // CAFÉ.db with the É in Latin-1, as copied from an old system.
    const std::string latin1 = (Main::pathOf(settings.folder) / "CAF\xC9.db").native();
    pw::writeTable(latin1, ordersDesign, {{std::int64_t{9}, {}, {}}});

    window->List2->clearAll();
    Paradox::ListTables(*window->List2, settings);
    const QString cafe = QString::fromUtf8("CAF\xC3\x89");
    EXPECT_EQ(entriesOf(*window->List2), (QStringList{cafe, t}));
    created << cafe;
    selectAll(*window->List2, true);
    window->List2->setCurrent(0);
    send();
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.messages().join("|").toStdString();
    EXPECT_EQ(rowsOf(t).at(0), (std::vector<odbc::Value>{QString("7"), QString("memo text")}));
    EXPECT_EQ(rowsOf(cafe).at(0).at(0), QString("9"));

    // Rename moves the data and memo files; delete removes the Latin-1 file.
    window->List2->setSelectedAt(0, false);
    dialogs.inputs = {"Renamed"};
    window->Check7->click();
    EXPECT_TRUE(QFile::exists(settings.folder + "/Renamed.db"));
    EXPECT_TRUE(QFile::exists(settings.folder + "/Renamed.mb"));
    selectAll(*window->List2, false);
    window->List2->setSelectedAt(entriesOf(*window->List2).indexOf(cafe), true);
    window->Check5->click();
    EXPECT_FALSE(std::filesystem::exists(latin1));
    EXPECT_EQ(entriesOf(*window->List2), QStringList{"Renamed"});
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.messages().join("|").toStdString();
}

TEST_F(SendTablesTest, QuestionsComeInReverseOrderAndNoKeepsThatTable) {
    const QString a = addParadoxTable("a", ordersDesign, {{std::int64_t{1}, {}, {}}});
    const QString b = addParadoxTable("b", ordersDesign, {{std::int64_t{2}, {}, {}}});
    const QString c = addParadoxTable("c", ordersDesign, {{std::int64_t{3}, {}, {}}});
    for (const QString& name : {a, b, c}) {
        addTargetTable(name);
    }
    dialogs.answers = {Answer::Yes, Answer::No, Answer::Yes};
    send();

    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[0].text, "Would you like to overwrite " + c + "?");
    EXPECT_EQ(dialogs.shown[1].text, "Would you like to overwrite " + b + "?");
    EXPECT_EQ(dialogs.shown[2].text, "Would you like to overwrite " + a + "?");
    EXPECT_EQ(dialogs.shown[0].title, "Overwrite?");
    EXPECT_TRUE(dialogs.shown[0].defaultYes);
    EXPECT_EQ(rowsOf(a).size(), 1u);
    EXPECT_EQ(rowsOf(c).size(), 1u);
    EXPECT_NO_THROW(database->query("SELECT old FROM \"" + b + "\"")); // the old table stays
    EXPECT_EQ(entriesOf(*window->List1).count(b), 1);
    EXPECT_EQ(opener.statements.filter("DROP TABLE").size(), 2);
}

TEST_F(SendTablesTest, TheTargetSpellingIsUsedEverywhere) {
    const QString upper = addParadoxTable("orders", ordersDesign, {{std::int64_t{5}, {}, {}}});
    const QString lower = upper.toLower();
    // The Paradox side is found by the lower-case name too.
    database->execute("CREATE TABLE \"" + lower + "\"(old TEXT)");
    window->List1->add(lower);
    dialogs.answers = {Answer::Yes};
    send();
    EXPECT_EQ(dialogs.shown.at(0).text, "Would you like to overwrite " + lower + "?");
    for (const QString& statement : opener.statements) {
        EXPECT_TRUE(statement.contains("\"" + lower + "\"")) << statement.toStdString();
    }
    EXPECT_EQ(entriesOf(*window->List1), QStringList{lower});
}

TEST_F(SendTablesTest, NothingSelectedOpensAndClosesBothAndCopiesNothing) {
    addParadoxTable("orders", ordersDesign, {}, false);
    send();
    EXPECT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.closed, 1);
    EXPECT_TRUE(opener.statements.isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(SendTablesTest, NoCurrentEntryAsksToSelectAndOpensNothing) {
    window->List2->add("ORDERS");
    send();
    EXPECT_EQ(dialogs.messages(), QStringList{"Please select a table to send."});
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(SendTablesTest, TheBarShowsTheShareOfRowsBegunThenZero) {
    const QString empty = addParadoxTable("empty", ordersDesign, {});
    send();
    EXPECT_EQ(bar, std::vector<double>{0});
    EXPECT_TRUE(rowsOf(empty).empty());
    EXPECT_TRUE(entriesOf(*window->List1).contains(empty));

    window->List2->setSelectedAt(0, false);
    std::vector<pw::Row> four(4, pw::Row{std::int64_t{1}, {}, {}});
    addParadoxTable("four", ordersDesign, four);
    bar.clear();
    send();
    EXPECT_EQ(bar, (std::vector<double>{25, 50, 75, 100, 0}));

    selectAll(*window->List2, false);
    addParadoxTable("three", ordersDesign, {four.begin(), four.begin() + 3});
    bar.clear();
    send();
    ASSERT_EQ(bar.size(), 4u);
    EXPECT_DOUBLE_EQ(bar[0], 100.0 / 3);
    EXPECT_DOUBLE_EQ(bar[1], 200.0 / 3);
    EXPECT_DOUBLE_EQ(bar[2], 100);
    EXPECT_EQ(bar[3], 0);
}

TEST_F(SendTablesTest, OtherCommandsDoNothingWhileASendRuns) {
    addParadoxTable("orders", ordersDesign, {{std::int64_t{1}, {}, {}}, {std::int64_t{2}, {}, {}}});
    window->List1->add("SOMETHING");
    window->List1->setSelectedAt(0, true);
    window->List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    int setups = 0;
    window->onSetup = [&] { ++setups; };
    bool pressed = false;
    QObject::connect(window->ProgressBar1, &shell::Progress::percentChanged, [&](double percent) {
        if (percent > 0 && !pressed) {
            pressed = true;
            EXPECT_EQ(window->pointer(), shell::BusyPointer);
            for (shell::PressButton* button : {window->Check4, window->Check1, window->Check5,
                                               window->Check6, window->Check7, window->Check2}) {
                button->click();
                EXPECT_EQ(button->value(), 0);
            }
        }
    });
    send();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(setups, 0);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.statements.filter("DROP").size(), 0);
    EXPECT_EQ(entriesOf(*window->List1).count("SOMETHING"), 1);
}

TEST_F(SendTablesTest, AnErrorEndsTheRunWithOneMessageAndTheProgramGoesOn) {
    const QString first = addParadoxTable("b_first", ordersDesign, {{std::int64_t{1}, {}, {}}});
    const QString failing = addParadoxTable("a_fails", ordersDesign, {{std::int64_t{1}, {}, {}}});
    // The target holds the table although List1 does not: CREATE TABLE fails.
    database->execute("CREATE TABLE \"" + failing + "\"(old TEXT)");
    send();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith("Error ")) << dialogs.messages()[0].toStdString();
    EXPECT_TRUE(dialogs.messages()[0].contains("\r\r"));
    EXPECT_EQ(entriesOf(*window->List1), QStringList{first});
    EXPECT_EQ(window->pointer(), shell::DefaultPointer);
    EXPECT_EQ(window->ProgressBar1->percent(), 0);
    EXPECT_FALSE(window->commands().busy());

    // The program goes on: a later send works.
    selectAll(*window->List2, false);
    const QString later = addParadoxTable("c_later", ordersDesign, {{std::int64_t{1}, {}, {}}});
    send();
    EXPECT_TRUE(entriesOf(*window->List1).contains(later));
}

TEST_F(SendTablesTest, DoubleQuotesInNamesCannotBreakOut) {
    const QString name = testing_support::uniqueTableName("Q").toUpper() + "\"X";
    pw::writeTable((folder.path() + "/" + name + ".db").toStdString(),
                   designOf({{"A\"B", pw::Alpha, 5}}), {{std::string("v")}});
    window->List2->add(name);
    window->List2->setSelectedAt(0, true);
    window->List2->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    created << name;
    send();
    EXPECT_TRUE(dialogs.shown.empty());
    QString doubled = name;
    doubled.replace("\"", "\"\"");
    EXPECT_EQ(opener.statements.at(0), "CREATE TABLE \"" + doubled + "\"(\"A\"\"B\" TEXT);");
    EXPECT_EQ(rowsOf(name).size(), 1u);
}

namespace {

// The same run against a real server: what arrives must read back unchanged.
class SendToServerTest : public SendTablesTest {
protected:
    std::optional<QString> dataSource() override { return testing_support::postgresDataSource(); }
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
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.messages().join("|").toStdString();
    const auto rows = rowsOf(t);
    ASSERT_EQ(rows.size(), 1u);
    const std::vector<odbc::Value>& row = rows[0];
    EXPECT_EQ(row[0], QString::fromUtf8("Ærø café"));
    EXPECT_EQ(row[1], QString("7.49"));
    EXPECT_EQ(row[2], QString("12.5"));
    EXPECT_EQ(row[3], QString("-3"));
    EXPECT_EQ(row[4], QString("True"));
    EXPECT_EQ(row[5], QString("2000-01-01 01:02:03"));
    EXPECT_EQ(row[6], QString::fromStdString(longNote));
}

TEST_F(SendToServerTest, MoneyArrivesAsANumberThatSums) {
    const QString t = addParadoxTable("money", designOf({{"PRICE", pw::Money}}),
                                      {{12.5}, {0.1}, {0.2}, {-3.25}, {1234567.89}});
    send();
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.messages().join("|").toStdString();
    const odbc::Rows sum = database->query(
        "SELECT SUM(\"PRICE\"), pg_typeof(SUM(\"PRICE\"))::text FROM \"" + t + "\"");
    EXPECT_EQ(sum.rows.at(0),
              (std::vector<odbc::Value>{QString("1234577.44"), QString("numeric")}));
}

// A role that needs a password is reached with PWD= typed after the name.
TEST_F(SendToServerTest, KeysAfterTheDataSourceNameReachTheDriver) {
    const QString dsn = qEnvironmentVariable("ORVANDEL_TEST_PASSWORD_DSN");
    if (dsn.isEmpty()) {
        GTEST_SKIP()
            << "set ORVANDEL_TEST_PASSWORD_DSN and ORVANDEL_TEST_PASSWORD (scripts/test does)";
    }
    const QString t = addParadoxTable("pwd", ordersDesign, {{std::int64_t{1}, {}, {}}});
    settings.dataSource = dsn;
    EXPECT_FALSE(sources::passGate(settings, real));
    send();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].contains("password")) << dialogs.messages()[0].toStdString();

    settings.dataSource = dsn + ";PWD=" + qEnvironmentVariable("ORVANDEL_TEST_PASSWORD");
    EXPECT_TRUE(sources::passGate(settings, real));
    send();
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(rowsOf(t).size(), 1u);
}

TEST_F(SendToServerTest, ARefusedValueEndsTheRunAndASecondSendCompletes) {
    const pw::TableDesign design = designOf({{"ID", pw::Long}, {"NOTE", pw::Memo, 11}});
    // The server refuses text holding a NUL character.
    const std::vector<pw::Row> rows = {{std::int64_t{1}, std::string("fine")},
                                       {std::int64_t{2}, std::string("also fine")},
                                       {std::int64_t{3}, std::string("bad\0text", 8)},
                                       {std::int64_t{4}, std::string("never sent")}};
    const QString later = addParadoxTable("a_later", design, {{std::int64_t{1}, {}}});
    const QString t = addParadoxTable("b_refused", design, rows);
    send();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith("Error "));
    EXPECT_EQ(rowsOf(t).size(), 2u);
    EXPECT_EQ(entriesOf(*window->List1), QStringList{t}); // the table exists, half full
    EXPECT_THROW(rowsOf(later), odbc::Error);             // never reached
    EXPECT_EQ(window->pointer(), shell::DefaultPointer);
    EXPECT_EQ(window->ProgressBar1->percent(), 0);

    // Repaired source, second send: the overwrite question, Yes, and all rows.
    pw::writeTable((folder.path() + "/" + t + ".db").toStdString(), design,
                   {rows[0], rows[1], {std::int64_t{3}, std::string("repaired")}, rows[3]});
    dialogs.answers = {Answer::Yes};
    send();
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(rowsOf(t).size(), 4u);
    EXPECT_EQ(rowsOf(later).size(), 1u);
    EXPECT_EQ(entriesOf(*window->List1), (QStringList{later, t}));
}

TEST_F(SendToServerTest, ALostServerConnectionEndsTheRunWithOneMessage) {
    std::vector<pw::Row> rows;
    for (int i = 0; i < 5; ++i) {
        rows.push_back({std::int64_t{i}, std::string("row")});
    }
    const QString t =
        addParadoxTable("lost", designOf({{"ID", pw::Long}, {"V", pw::Alpha, 9}}), rows);
    // While row 3 is about to go, the server ends every other session.
    QObject::connect(window->ProgressBar1, &shell::Progress::percentChanged, [&](double percent) {
        if (percent == 60) {
            database->query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                            "WHERE datname = current_database() AND pid <> pg_backend_pid()");
        }
    });
    send();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith("Error "));
    EXPECT_EQ(rowsOf(t).size(), 2u);
    EXPECT_EQ(entriesOf(*window->List1), QStringList{t});
    EXPECT_FALSE(window->commands().busy());

    dialogs.answers = {Answer::Yes};
    QObject::disconnect(window->ProgressBar1, &shell::Progress::percentChanged, nullptr, nullptr);
    send();
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(rowsOf(t).size(), 5u);
}
