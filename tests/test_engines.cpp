// What differs between the engines behind a data source: values that an
// engine's defaults would change, names it would cut, and the sessions every
// command leaves behind.

#include "maintenance/Maintenance.h"
#include "setup/SetupWindow.h"
#include "sources/Catalogues.h"
#include "support/TestWorkspace.h"
#include "transfer/SendTables.h"

#include <QFile>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace pw = paradox_writer;
using testing_support::designOf;
using testing_support::entriesOf;
using testing_support::fill;

namespace {

struct Engine {
    const char* kind;
    const char* numberType;   // of Number, Money and BCD columns
    const char* textType;     // of text columns
    int nameLimit;            // longest table or column name; 0 for none
    bool limitCountsBytes;    // else characters
    const char* sessionCount; // counts the sessions of the tests' account; nullptr: no server
    const char* whoAndWhere;  // the session's account and database
    const char* account;      // the data source's account, as the server shows it
};

void PrintTo(const Engine& engine, std::ostream* out) {
    *out << engine.kind;
}

class EngineTest : public testing_support::WorkspaceTest,
                   public ::testing::WithParamInterface<Engine> {
protected:
    QString kind() const override { return GetParam().kind; }

    // A table name of exactly length units (bytes or characters, as the
    // engine counts), unique to this run, padded with a two-byte letter.
    QString nameOfLength(int length) const {
        QString name = testing_support::uniqueTableName("n").toUpper();
        const auto units = [&] {
            return GetParam().limitCountsBytes ? name.toUtf8().size() : name.size();
        };
        while (units() < length) {
            name +=
                (GetParam().limitCountsBytes && units() + 1 == length) ? QChar('X') : QChar(0x0416);
        }
        return name;
    }

    // Writes a Paradox table; owned tables are dropped at the end.
    QString writeTable(const QString& name, const pw::TableDesign& design,
                       const std::vector<pw::Row>& rows, bool owned = true) {
        pw::writeTable((folder.path() + "/" + name + ".db").toStdString(), design, rows);
        if (owned) {
            database.own(name);
        }
        return name;
    }

    void sendOnly(const QString& name) {
        env.dialogs.shown.clear();
        env.opener.statements.clear();
        fill(env.paradoxList, {name}, {name});
        env.run(transfer::sendTables);
    }

    int sessions() {
        return database.connection().query(GetParam().sessionCount).rows.at(0).at(0)->toInt();
    }
};

double numberOf(const odbc::Value& value) {
    return value ? value->toDouble() : -1;
}

} // namespace

// Backslashes, quotes, accents, fractions, eleven-digit numbers, and texts
// past 65,535 bytes arrive exactly; the columns have the engine's types.
TEST_P(EngineTest, ValuesThatDefaultsWouldChangeArriveExactly) {
    const pw::TableDesign design = designOf({{"TEXT", pw::Alpha, 60},
                                             {"NUMBER", pw::Number},
                                             {"MONEY", pw::Money},
                                             {"BCD", pw::Bcd, 2},
                                             {"COUNT", pw::Long},
                                             {"NOTE", pw::Memo, 11},
                                             {"DATA", pw::BinaryBlob, 11}});
    const std::string memo = std::string(70000, 'm') + "\\ 'end' \\";
    std::string blob(40000, '\0');
    for (std::size_t i = 0; i < blob.size(); ++i) {
        blob[i] = static_cast<char>(i * 7);
    }
    // Highest COUNT first, the order they are read back in.
    const std::vector<pw::Row> rows = {
        {std::string("C:\\DATA\\new\\table.db"), 1199.5, 0.01, std::string("12345678901.25"),
         std::int64_t{2147483647}, memo, blob},
        {std::string("O'Hara \"q\" caf\xE9 \\'; DROP TABLE x; --"), -7.25, 1e-4,
         std::string("0.50"), std::int64_t{0}, std::string("a\\nb\\tc"), std::string("'")},
        {std::string("ends with a backslash\\"), 12345678901.25, -0.5, std::string("-0.01"),
         std::int64_t{-2147483647}, std::string("\\"), std::string("\\")},
    };
    const QString t = writeTable(testing_support::uniqueTableName("V").toUpper(), design, rows);
    sendOnly(t);
    ASSERT_TRUE(env.dialogs.shown.empty()) << env.dialogs.messages().join("|").toStdString();

    const QString number = GetParam().numberType, text = GetParam().textType;
    EXPECT_EQ(sentStatements().at(0),
              QStringLiteral("CREATE TABLE \"%1\"(\"TEXT\" %2,\"NUMBER\" %3,\"MONEY\" %3,\"BCD\" "
                             "%3,\"COUNT\" NUMERIC,\"NOTE\" %2,\"DATA\" %2);")
                  .arg(t, text, number));
    const odbc::Rows back =
        database.connection().query("SELECT * FROM \"" + t + "\" ORDER BY \"COUNT\" DESC");
    ASSERT_EQ(back.rows.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto& row = back.rows[r];
        const auto sent = [&](std::size_t c) { return std::get<std::string>(rows[r][c]); };
        SCOPED_TRACE(r);
        EXPECT_EQ(row[0], QString::fromLatin1(sent(0))); // written in code page 1252
        EXPECT_EQ(numberOf(row[1]), std::get<double>(rows[r][1]));
        EXPECT_EQ(numberOf(row[2]), std::get<double>(rows[r][2]));
        EXPECT_EQ(numberOf(row[3]), std::stod(sent(3)));
        EXPECT_EQ(row[4], QString::number(std::get<std::int64_t>(rows[r][4])));
        EXPECT_EQ(row[5], QString::fromStdString(sent(5)));
        EXPECT_EQ(row[6], QByteArray::fromStdString(sent(6)).toHex().toUpper());
    }
}

// A table or field name one unit past the engine's limit ends the send with
// one message before anything is created, and a rename to it is refused;
// names exactly at the limit arrive whole.
TEST_P(EngineTest, NamesTheEngineWouldCutAreRefusedBeforeAnythingIsMade) {
    const Engine& engine = GetParam();
    const int limit = engine.nameLimit > 0 ? engine.nameLimit : 120;
    const QString atLimit = nameOfLength(limit);
    const QString longField(limit, QChar('F'));
    writeTable(atLimit, designOf({{longField.toStdString(), pw::Long}}), {{std::int64_t{1}}});
    sendOnly(atLimit);
    ASSERT_TRUE(env.dialogs.shown.empty()) << env.dialogs.messages().join("|").toStdString();
    EXPECT_EQ(database.connection()
                  .query("SELECT \"" + longField + "\" FROM \"" + atLimit + "\"")
                  .rows.size(),
              1u);
    testing_support::MemoryList listed;
    sources::listTargetTables(listed, env.settings, env.real);
    EXPECT_TRUE(entriesOf(listed).contains(atLimit));
    if (engine.nameLimit == 0) {
        return;
    }

    const QString unit = engine.limitCountsBytes ? "bytes" : "characters";
    const QString overLimit = nameOfLength(limit + 1);
    const QString overField = longField + "G";
    struct Case {
        QString table;
        std::string field;
        QString named; // the name the message names
    };
    for (const Case& c : {Case{overLimit, "ID", overLimit},
                          Case{nameOfLength(limit), overField.toStdString(), overField}}) {
        // Never made, and a name the engine refuses even to drop.
        writeTable(c.table, designOf({{c.field, pw::Long}}), {{std::int64_t{1}}}, false);
        env.targetList.clearAll();
        sendOnly(c.table);
        ASSERT_EQ(env.dialogs.messages().size(), 1);
        const QString message = env.dialogs.messages()[0];
        for (const QString& part :
             {c.table, c.named, QStringLiteral("at most %1 %2").arg(limit).arg(unit)}) {
            EXPECT_TRUE(message.contains(part)) << message.toStdString();
        }
        EXPECT_TRUE(sentStatements().isEmpty()) << sentStatements().join("|").toStdString();
        EXPECT_EQ(env.targetList.count(), 0);
    }

    fill(env.targetList, {atLimit}, {atLimit});
    env.opener.statements.clear();
    env.dialogs.inputs = {overLimit};
    env.run(maintenance::renameTargetTable);
    EXPECT_TRUE(env.dialogs.messages().last().contains("was not renamed"));
    EXPECT_TRUE(sentStatements().isEmpty());
    EXPECT_EQ(entriesOf(env.targetList), QStringList{atLimit});
    EXPECT_TRUE(database.exists(atLimit));
}

// The largest doubles arrive as themselves, not rounded past the range, and
// a memo's terminating NUL is not text.
TEST_P(EngineTest, TheLargestNumbersArriveAndAMemosEndIsNotText) {
    const double largest = std::numeric_limits<double>::max();
    const QString t =
        writeTable(testing_support::uniqueTableName("L").toUpper(),
                   designOf({{"NUMBER", pw::Number}, {"NOTE", pw::Memo, 11}}),
                   {{largest, std::string("fine\0", 5)}, {-largest, std::string("fine")}});
    sendOnly(t);
    ASSERT_TRUE(env.dialogs.messages().isEmpty()) << env.dialogs.messages()[0].toStdString();
    const odbc::Rows same =
        database.connection().query("SELECT COUNT(*) FROM \"" + t +
                                    "\" WHERE (\"NUMBER\" = 1.7976931348623157e308 OR \"NUMBER\" = "
                                    "-1.7976931348623157e308) AND \"NOTE\" = 'fine'");
    EXPECT_EQ(same.rows.at(0).at(0), QString("2"));
}

// The whole source is read and checked before an existing table is offered
// for overwriting: a source cut short, gone, with a field name the engine
// would cut, a memo file damaged half way or a NUL inside a text in row 40
// of 60 costs nothing. One message, no question, no statement; the old
// table keeps its rows and its entry.
TEST_P(EngineTest, ABadSourceNeverCostsTheTableItWouldReplace) {
    const Engine& engine = GetParam();
    const QString tooLong(engine.nameLimit + 1, QChar('F'));
    const std::vector<pw::Row> rows(500, pw::Row{std::int64_t{1}});
    const pw::TableDesign memos = designOf({{"ID", pw::Long}, {"NOTE", pw::Memo, 11}});
    std::vector<pw::Row> notes;
    for (std::int64_t id = 1; id <= 60; ++id) {
        notes.push_back({id, std::string(200, 'n')});
    }
    const std::vector<std::function<void(const QString&)>> sources = {
        [&](const QString& name) {
            const QString file = writeTable(name, designOf({{"ID", pw::Long}}), rows, false);
            QFile::resize(folder.path() + "/" + file + ".db", 3000);
        },
        [&](const QString&) {},
        [&](const QString& name) {
            writeTable(name, designOf({{tooLong.toStdString(), pw::Long}}), rows, false);
        },
        [&](const QString& name) {
            writeTable(name, memos, notes, false);
            const QString memo = folder.path() + "/" + name + ".mb";
            QFile::resize(memo, QFile(memo).size() / 2);
        },
        [&](const QString& name) {
            std::vector<pw::Row> withNul = notes;
            withNul[39][1] = std::string("bad\0text", 8);
            writeTable(name, memos, withNul, false);
        },
    };
    for (std::size_t s = 0; s < sources.size(); ++s) {
        if (s == 2 && engine.nameLimit == 0) {
            continue; // every name fits
        }
        const QString name = testing_support::uniqueTableName("K").toUpper();
        database.createTableNamed(name);
        database.connection().execute("INSERT INTO \"" + name + "\" VALUES('kept')");
        sources[s](name);
        env.targetList.clearAll();
        fill(env.targetList, {name}, {});
        env.dialogs.answers = {userio::Dialogs::Answer::Yes};
        sendOnly(name);
        ASSERT_EQ(env.dialogs.shown.size(), 1u) << "source " << s;
        EXPECT_EQ(env.dialogs.shown[0].kind, "message");
        const QString& message = env.dialogs.shown[0].text;
        EXPECT_TRUE(message.contains(name)) << message.toStdString();
        if (s == 4) {
            EXPECT_TRUE(message.contains("row 40, field NOTE holds a NUL"))
                << message.toStdString();
        }
        EXPECT_TRUE(sentStatements().isEmpty()) << sentStatements().join("|").toStdString();
        EXPECT_EQ(database.rowsOf(name),
                  (std::vector<std::vector<odbc::Value>>{{QString("kept")}}));
        EXPECT_EQ(entriesOf(env.targetList), QStringList{name});
        env.dialogs.answers.clear();
    }
}

// Every command, the gate and both connection tests close the sessions they
// open, also when they end on an error.
TEST_P(EngineTest, EveryCommandClosesTheSessionsItOpens) {
    if (!GetParam().sessionCount) {
        GTEST_SKIP() << GetParam().kind << " has no server sessions";
    }
    const int before = sessions();
    const auto expectNoneLeft = [&](const char* step) {
        int now = sessions();
        for (int wait = 0; now != before && wait < 250; ++wait) {
            QThread::msleep(20); // a server may notice a closed session late
            now = sessions();
        }
        EXPECT_EQ(now, before) << step;
    };
    const QString t = writeTable(testing_support::uniqueTableName("S").toUpper(),
                                 designOf({{"ID", pw::Long}}), {{std::int64_t{1}}});
    sendOnly(t);
    expectNoneLeft("send");
    env.targetList.clearAll();
    sendOnly(t); // the table exists but is not listed: CREATE fails
    EXPECT_EQ(env.dialogs.messages().size(), 1);
    expectNoneLeft("failed send");
    const QString renamed = testing_support::uniqueTableName("r");
    database.own(renamed);
    fill(env.targetList, {t}, {t});
    env.dialogs.inputs = {renamed};
    env.run(maintenance::renameTargetTable);
    expectNoneLeft("rename");
    fill(env.targetList, {"no_such_table", renamed}, {"no_such_table", renamed});
    env.run(maintenance::dropTargetTables);
    EXPECT_TRUE(env.dialogs.messages().last().startsWith("Error "));
    expectNoneLeft("drop, failing at the second");
    testing_support::MemoryList listed;
    sources::listTargetTables(listed, env.settings, env.real);
    expectNoneLeft("catalogue");
    EXPECT_TRUE(sources::passGate(env.settings, env.real));
    expectNoneLeft("gate");
    commands::Runner runner;
    setup::SetupWindow form{env.dialogs, env.real, runner};
    form.controls().folderField->setText(env.settings.folder);
    for (const QString& name : {env.settings.dataSource, QStringLiteral("NoSuchDataSource")}) {
        form.controls().dataSourceField->setText(name);
        form.controls().testDataSourceButton->click();
        form.controls().testFolderButton->click();
        expectNoneLeft("connection tests");
    }
    QStringList shown = env.dialogs.messages().mid(env.dialogs.messages().size() - 4);
    for (QString& text : shown) {
        text = text.section('\n', 0, 0); // the reason follows on a line of its own
    }
    EXPECT_EQ(shown, (QStringList{"Connection successful.", "Connection successful.",
                                  "Could not connect. Please check with your administrator.",
                                  "Connection successful."}));
}

// With the account in the data source and no keys typed, the program logs in
// as that account, not as the system's user, and passes the gate.
TEST_P(EngineTest, TheDataSourcesOwnAccountIsUsed) {
    if (!GetParam().whoAndWhere) {
        GTEST_SKIP() << GetParam().kind << " has no accounts";
    }
    EXPECT_TRUE(sources::testDataSource(env.settings, env.real));
    const sources::Target target = sources::openTarget(env.settings, env.real);
    const std::vector<odbc::Value> who = target->query(GetParam().whoAndWhere).rows.at(0);
    EXPECT_EQ(who.at(0), QString::fromLatin1(GetParam().account));
    EXPECT_EQ(who.at(1), QString("orvandel_test"));
}

INSTANTIATE_TEST_SUITE_P(
    Engines, EngineTest,
    ::testing::Values(Engine{"SQLite", "NUMERIC", "TEXT", 0, false, nullptr, nullptr, nullptr},
                      Engine{"PostgreSQL", "NUMERIC", "TEXT", 63, true,
                             "SELECT count(*) FROM pg_stat_activity WHERE usename = current_user",
                             "SELECT current_user, current_database()", "orvandel"},
                      Engine{"MariaDB", "DOUBLE", "LONGTEXT", 64, false,
                             "SELECT COUNT(*) FROM information_schema.PROCESSLIST "
                             "WHERE USER = SUBSTRING_INDEX(CURRENT_USER(), '@', 1)",
                             "SELECT CURRENT_USER(), DATABASE()", "orvandel@127.0.0.1"}),
    [](const auto& info) { return std::string(info.param.kind); });

namespace {

// A data source whose database or role still reads a backslash inside quotes
// as an escape.
class OldStringsTest : public testing_support::WorkspaceTest,
                       public ::testing::WithParamInterface<const char*> {
protected:
    QString kind() const override { return GetParam(); }
};

} // namespace

// Backslashes anywhere, at the end and before a quote stay characters, and a
// value crafted to leave its quotes and drop another table is only text.
TEST_P(OldStringsTest, BackslashesAreCharactersAndNoValueLeavesItsQuotes) {
    const QString victim = database.createTable("victim");
    const std::vector<std::string> texts = {
        "x\\', NULL); DROP TABLE " + victim.toStdString() + "; --",
        "C:\\DATA\\new\\table.db",
        "ends with a backslash\\",
        "\\'",
        "\\\\'' {d '2020-01-01'} ? {fn UCASE('a')} \\x41 \\",
    };
    std::vector<pw::Row> rows;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        rows.push_back({texts[i], texts[i], static_cast<std::int64_t>(i)});
    }
    const QString t = addParadoxTable(
        "old", designOf({{"TEXT", pw::Alpha, 80}, {"NOTE", pw::Memo, 11}, {"ID", pw::Long}}), rows);
    env.run(transfer::sendTables);
    EXPECT_TRUE(env.dialogs.shown.empty()) << env.dialogs.messages().join("|").toStdString();
    EXPECT_TRUE(database.exists(victim));

    const odbc::Rows back =
        database.connection().query("SELECT * FROM \"" + t + "\" ORDER BY \"ID\"");
    ASSERT_EQ(back.rows.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(back.rows[i][0], QString::fromStdString(texts[i]));
        EXPECT_EQ(back.rows[i][1], QString::fromStdString(texts[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(PostgreSQL, OldStringsTest, ::testing::Values("OldDatabase", "OldRole"),
                         [](const auto& info) { return std::string(info.param); });

namespace {

class SmallPacketTest : public testing_support::WorkspaceTest {
protected:
    QString kind() const override { return QStringLiteral("SmallPacket"); }
};

} // namespace

// The largest statement the server takes arrives, also where its text is
// more bytes than characters; one byte more is refused before anything is
// made, counted in bytes, saying what to raise.
TEST_F(SmallPacketTest, AStatementPastTheServersLimitIsRefusedBeforeAnythingIsMade) {
    const std::int64_t limit = database.target().statementLimit();
    ASSERT_EQ(limit, 1024 * 1024);
    const auto tableOf = [&](const char* prefix, std::vector<std::int64_t> statements,
                             const std::string& filler) {
        const QString t = testing_support::uniqueTableName(prefix).toUpper();
        // All of INSERT INTO "<t>" VALUES('<id>', '<memo>') but the memo.
        const auto around = QStringLiteral("INSERT INTO \"%1\" VALUES('1', '')").arg(t).size();
        std::vector<pw::Row> rows;
        for (const std::int64_t bytes : statements) {
            std::string memo;
            for (std::int64_t utf8 = 0; utf8 < bytes - around;) {
                const char next = filler[memo.size() % filler.size()];
                const bool twoBytes = static_cast<unsigned char>(next) >= 0x80;
                memo += twoBytes && utf8 + 2 > bytes - around ? 'm' : next;
                utf8 += twoBytes && utf8 + 2 <= bytes - around ? 2 : 1;
            }
            rows.push_back({static_cast<std::int64_t>(rows.size() + 1), memo});
        }
        pw::writeTable((folder.path() + "/" + t + ".db").toStdString(),
                       designOf({{"ID", pw::Long}, {"NOTE", pw::Memo, 11}}), rows);
        database.own(t);
        fill(env.paradoxList, {t}, {t});
        env.dialogs.shown.clear();
        env.run(transfer::sendTables);
        return t;
    };
    // With the command byte, one byte short of the limit; "Größe " in 1252
    // is six characters and eight bytes.
    const QString fits = tableOf("P", {limit - 2, limit - 2}, "m");
    ASSERT_TRUE(env.dialogs.messages().isEmpty()) << env.dialogs.messages()[0].toStdString();
    EXPECT_EQ(database.rowsOf(fits).size(), 2u);
    for (const std::string& filler : {std::string("m"), std::string("Gr\xF6\xDF"
                                                                    "e ")}) {
        const QString t = tableOf("Q", {100, limit - 1, 100}, filler);
        ASSERT_EQ(env.dialogs.messages().size(), 1);
        const QString message = env.dialogs.messages()[0];
        for (const QString& part :
             {t, QStringLiteral("row 2, field NOTE"),
              QStringLiteral("%1 bytes long").arg(limit - 1),
              QStringLiteral("at most %1 bytes").arg(limit - 2),
              QStringLiteral("max_allowed_packet"), QStringLiteral("Nothing was changed")}) {
            EXPECT_TRUE(message.contains(part)) << message.toStdString();
        }
        EXPECT_FALSE(database.exists(t));
        EXPECT_FALSE(entriesOf(env.targetList).contains(t));
    }
}
