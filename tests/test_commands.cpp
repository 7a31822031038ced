#include "maintenance/Maintenance.h"
#include "platform/paradox/Paradox.h"
#include "platform/userio/EventPump.h"
#include "support/FileSizeLimit.h"
#include "support/TestWorkspace.h"
#include "transfer/SendTables.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string_view>
#include <type_traits>

namespace pw = paradox_writer;
using Answer = userio::Dialogs::Answer;
using testing_support::designOf;
using testing_support::entriesOf;
using testing_support::fill;

// No catch of std::exception can take the program's end for an error.
static_assert(!std::is_base_of_v<std::exception, userio::ProgramEnding>);

TEST(Runner, RunsOneWorkAtATimeAndEndsBusyHoweverTheWorkEnds) {
    commands::Runner runner;
    QStringList reports;
    const auto report = [&](const QString& text) { reports << text; };
    bool nestedRan = true;
    EXPECT_TRUE(runner.run(
        [&] {
            EXPECT_TRUE(runner.busy());
            nestedRan = runner.run([] {}, report);
        },
        report));
    EXPECT_FALSE(nestedRan);
    EXPECT_FALSE(runner.busy());

    // A number heads the message only where there is one.
    const std::vector<std::function<void()>> endings = {
        [] { throw odbc::Error(7, "HY000: refused"); },
        [] { throw odbc::Error(0, "IM002: no such data source"); },
        [] { throw std::runtime_error("broken"); },
        [] { throw paradox::Error("bad file"); },
        [] {
            throw std::filesystem::filesystem_error("gone",
                                                    std::make_error_code(std::errc::io_error));
        },
        [] { throw userio::ProgramEnding{}; },
    };
    for (const auto& work : endings) {
        EXPECT_TRUE(runner.run(work, report));
        EXPECT_FALSE(runner.busy());
    }
    ASSERT_EQ(reports.size(), 5);
    EXPECT_EQ(reports.mid(0, 4), (QStringList{"Error 7\r\rHY000: refused",
                                              "IM002: no such data source", "broken", "bad file"}));
    EXPECT_TRUE(reports[4].startsWith(QStringLiteral("Error %1\r\r").arg(EIO)))
        << reports[4].toStdString();
}

namespace {

class CommandTest : public testing_support::WorkspaceTest {
protected:
    QString addOrders(const QString& prefix, int rows) {
        return addParadoxTable(prefix, design, std::vector<pw::Row>(rows, good));
    }
    const pw::TableDesign design = designOf({{"ID", pw::Long}, {"NOTE", pw::Memo, 11}});
    const pw::Row good{std::int64_t{1}, std::string("fine")};
};

// The entries A and B with none current, both selected, or A current and
// none selected.
enum class Pick { NoneCurrent, Two, NoneSelected };

struct Guard {
    const char* name;
    commands::Command command;
    bool worksOnTargetList; // the command works on targetList, else on paradoxList
    Pick pick;
    QString message; // what it says, if anything
    int opens;       // connections it opens meanwhile
};

} // namespace

// Every command first checks the selection and says what is missing; a send
// of nothing selected opens and closes its connection and copies nothing.
TEST_F(CommandTest, SelectionGuardsSayWhatIsMissing) {
    const QString toRename = "Please select a table to rename.";
    const QString justOne = "Please select just one table to rename.";
    const std::vector<Guard> guards = {
        {"send", transfer::sendTables, false, Pick::NoneCurrent, "Please select a table to send.",
         0},
        {"send, none selected", transfer::sendTables, false, Pick::NoneSelected, "", 1},
        {"drop", maintenance::dropTargetTables, true, Pick::NoneCurrent, "Please select a table",
         1},
        {"delete", maintenance::deleteParadoxTables, false, Pick::NoneCurrent,
         "Please select a table to delete.", 0},
        {"rename table", maintenance::renameTargetTable, true, Pick::NoneCurrent, toRename, 1},
        {"rename file", maintenance::renameParadoxTable, false, Pick::NoneCurrent, toRename, 0},
        {"rename table, two", maintenance::renameTargetTable, true, Pick::Two, justOne, 1},
        {"rename file, two", maintenance::renameParadoxTable, false, Pick::Two, justOne, 0},
    };
    addOrders("a", 1);
    for (const Guard& guard : guards) {
        SCOPED_TRACE(guard.name);
        testing_support::MemoryList& list =
            guard.worksOnTargetList ? env.targetList : env.paradoxList;
        env.targetList.clearAll();
        env.paradoxList.clearAll();
        fill(list, {"A", "B"}, guard.pick == Pick::Two ? QStringList{"A", "B"} : QStringList{});
        list.setCurrent(guard.pick == Pick::NoneCurrent ? -1 : 0);
        env.dialogs.shown.clear();
        env.opener.opened.clear();
        env.opener.closed = 0;
        env.run(guard.command);
        EXPECT_EQ(env.dialogs.shown.size(), guard.message.isEmpty() ? 0u : 1u);
        EXPECT_EQ(env.dialogs.messages(),
                  guard.message.isEmpty() ? QStringList() : QStringList{guard.message});
        EXPECT_EQ(env.opener.opened.size(), guard.opens);
        EXPECT_EQ(env.opener.closed, guard.opens);
        EXPECT_TRUE(env.opener.statements.isEmpty());
        EXPECT_EQ(entriesOf(list), (QStringList{"A", "B"}));
        EXPECT_EQ(env.pointer.setting, userio::DefaultPointer);
    }
}

// While a send runs and lets events through, other commands do nothing.
TEST_F(CommandTest, OtherCommandsDoNothingWhileASendRuns) {
    addOrders("orders", 2);
    fill(env.targetList, {"SOMETHING"}, {"SOMETHING"});
    bool pressed = false;
    env.bar.onChange = [&](double percent) {
        if (percent > 0 && !pressed) {
            pressed = true;
            EXPECT_EQ(env.pointer.setting, userio::BusyPointer);
            for (const commands::Command command :
                 {transfer::sendTables, maintenance::dropTargetTables,
                  maintenance::deleteParadoxTables, maintenance::renameTargetTable,
                  maintenance::renameParadoxTable}) {
                env.run(command);
            }
        }
    };
    env.run(transfer::sendTables);
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(env.dialogs.shown.empty());
    EXPECT_EQ(env.opener.opened.size(), 1);
    EXPECT_TRUE(env.opener.statements.filter("DROP").isEmpty());
    EXPECT_EQ(entriesOf(env.targetList).count("SOMETHING"), 1);
}

namespace {

// A send that fails part way, and how the source is repaired for the next.
struct Failure {
    const char* name;
    const char* kind;
    using Step =
        std::function<void(testing_support::TestWorkspace&, testing_support::TargetDatabase&,
                           const QString& table, const QString& file)>;
    Step arrange;            // makes the send of a four-row table fail after two rows, or before
    Step repair;             // lets the next send complete
    int messages;            // 0 when the program ends
    int rowsKept;            // the rows sent before; -1 when the send made no table
    bool nameInError;        // the message names the file
    const char* says = "";   // what else the message holds
    bool foundFirst = false; // before anything changed: the table it replaces keeps its row
};

void noRepair(testing_support::TestWorkspace& env, testing_support::TargetDatabase&, const QString&,
              const QString&) {
    env.bar.onChange = nullptr;
}

void writeRows(const QString& file, const std::vector<pw::Row>& rows) {
    pw::writeTable(file.toStdString(), designOf({{"ID", pw::Long}, {"NOTE", pw::Memo, 11}}), rows);
}

const pw::Row fine{std::int64_t{1}, std::string("fine")};

// The fault data source whose server a test stopped, if any.
const char* stoppedFaultServer = nullptr;

// Runs the script scripts/test writes to stop or start the server of a fault
// data source ("Fault", "MariaDBFault").
void controlFaultServer(const char* action, const char* kind) {
    const QByteArray script = qgetenv("ORVANDEL_TEST_FAULT_SERVER");
    ASSERT_FALSE(script.isEmpty()) << "ORVANDEL_TEST_FAULT_SERVER is not set";
    ASSERT_EQ(std::system((script + " " + action + " " + kind).constData()), 0) << action;
    stoppedFaultServer = std::string_view(action) == "stop" ? kind : nullptr;
}

// As row 3 is about to go, the server of the data source dies; the repair
// starts it again.
Failure serverStopped(const char* name, const char* kind) {
    return {name,
            kind,
            [kind](auto& env, auto&, const QString&, const QString&) {
                env.bar.onChange = [kind](double percent) {
                    if (percent == 75) {
                        controlFaultServer("stop", kind);
                    }
                };
            },
            [kind](auto& env, auto& database, const QString&, const QString&) {
                env.bar.onChange = nullptr;
                controlFaultServer("start", kind);
                ASSERT_TRUE(database.open(kind));
            },
            1,
            2,
            false};
}

// The target holds the table although targetList does not.
Failure createRefused(const char* name, const char* kind) {
    return {name,
            kind,
            [](auto&, auto& database, const QString& table, const QString&) {
                database.createTableNamed(table);
            },
            [](auto&, auto& database, const QString& table, const QString&) {
                database.connection().execute("DROP TABLE \"" + table + "\"");
            },
            1,
            -1,
            false};
}

// Row 3 cannot go for its NOTE, which the program finds before it replaces
// the table of one row that the data source holds.
Failure refusedRow(const char* name, const char* kind, std::string note, const char* says) {
    return {name,
            kind,
            [note](auto& env, auto& database, const QString& table, const QString& file) {
                writeRows(file, {fine, fine, {std::int64_t{3}, note}, fine});
                database.createTableNamed(table);
                database.connection().execute("INSERT INTO \"" + table + "\" VALUES('kept')");
                fill(env.targetList, {table}, {});
                env.dialogs.answers = {Answer::Yes};
            },
            [](auto&, auto&, const QString&, const QString& file) {
                writeRows(file, std::vector<pw::Row>(4, fine));
            },
            1,
            1,
            false,
            says,
            true};
}

void PrintTo(const Failure& failure, std::ostream* out) {
    *out << failure.name;
}

// Whatever the test did to the process and the fault server is undone, also
// when it stopped before its repair.
class FailureTest : public CommandTest, public ::testing::WithParamInterface<Failure> {
protected:
    QString kind() const override { return GetParam().kind; }
    void TearDown() override {
        sizeLimit.lift();
        if (stoppedFaultServer) {
            controlFaultServer("start", stoppedFaultServer);
        }
    }

    testing_support::FileSizeLimit sizeLimit;
};

} // namespace

// One message, targetList matches the database, the pointer and bar are back, the
// rows sent before stay, and after a repair a second send answered Yes
// completes. When the program ends there is nothing to show.
TEST_P(FailureTest, EndsTheCommandAndTheNextOneWorks) {
    const Failure& failure = GetParam();
    const QString table = addOrders("failing", 4);
    const QString file = folder.path() + "/" + table + ".db";
    failure.arrange(env, database, table, file);
    env.run(transfer::sendTables);

    const QStringList messages = env.dialogs.messages();
    ASSERT_EQ(messages.size(), failure.messages) << messages.join("|").toStdString();
    if (failure.messages == 1) {
        const QString& message = messages[0];
        // A driver's error is headed by its number; the program's own checks have none.
        EXPECT_FALSE(message.startsWith("Error 0")) << message.toStdString();
        EXPECT_EQ(message.startsWith("Error "), message.contains("\r\r"));
        EXPECT_EQ(env.bar.percent(), 0);
        // Where the send ended: the table, and the row with what arrived.
        QStringList parts{table, QString::fromUtf8(failure.says)};
        if (failure.nameInError) {
            parts << file;
        }
        if (failure.foundFirst) {
            parts << QStringLiteral("Nothing was changed in the data source");
        } else if (failure.rowsKept >= 0) {
            parts << QStringLiteral("row %1").arg(failure.rowsKept + 1)
                  << QStringLiteral("%1 of its 4 rows").arg(failure.rowsKept);
        }
        for (const QString& part : parts) {
            EXPECT_TRUE(message.contains(part)) << message.toStdString() << "\n"
                                                << part.toStdString();
        }
    }
    EXPECT_EQ(env.pointer.setting, userio::DefaultPointer);
    EXPECT_FALSE(env.runner.busy());
    // targetList shows the table exactly when the send made it; the source stays.
    EXPECT_EQ(entriesOf(env.targetList).contains(table), failure.rowsKept >= 0);
    EXPECT_TRUE(entriesOf(env.paradoxList).contains(table) && QFile::exists(file));

    failure.repair(env, database, table, file);
    if (failure.rowsKept >= 0) {
        EXPECT_EQ(database.rowsOf(table).size(), static_cast<std::size_t>(failure.rowsKept));
    }
    if (entriesOf(env.targetList).contains(table)) {
        env.dialogs.answers = {Answer::Yes};
    }
    env.run(transfer::sendTables);
    EXPECT_EQ(env.dialogs.messages().size(), failure.messages);
    EXPECT_EQ(database.rowsOf(table).size(), 4u);
    EXPECT_EQ(entriesOf(env.targetList), QStringList{table});
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailureTest,
    ::testing::Values(
        createRefused("CreateRefused", "SQLite"), createRefused("CreateRefusedMariaDB", "MariaDB"),
        Failure{"DamagedFile", "SQLite",
                [](auto&, auto&, const QString&, const QString& file) {
                    QFile data(file);
                    ASSERT_TRUE(data.open(QIODevice::ReadWrite));
                    data.resize(100); // shorter than its header
                },
                [](auto&, auto&, const QString&, const QString& file) {
                    writeRows(file, std::vector<pw::Row>(4, fine));
                },
                1, -1, true},
        refusedRow("ValueRefused", "PostgreSQL", std::string("bad\0text", 8),
                   "row 3, field NOTE holds a NUL"),
        // 0x80 is the euro sign in code page 1252, which LATIN1 lacks.
        refusedRow("NoSuchCharacter", "Latin1", "\x80 5",
                   "row 3, field NOTE holds the character \"\u20AC\" (U+20AC), which the "
                   "database's character set LATIN1 does not have"),
        refusedRow("TooLarge", "SmallPacket", std::string(2 << 20, 'm'),
                   "row 3, field NOTE makes its statement"),
        Failure{"ConnectionLost", "PostgreSQL",
                [](auto& env, auto& database, const QString&, const QString&) {
                    // As row 3 is about to go, the server ends every other session.
                    env.bar.onChange = [&database](double percent) {
                        if (percent == 75) {
                            database.connection().query(
                                "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                "datname = current_database() AND pid <> pg_backend_pid()");
                        }
                    };
                },
                noRepair, 1, 2, false},
        serverStopped("ServerStopped", "Fault"),
        serverStopped("ServerStoppedMariaDB", "MariaDBFault"),
        Failure{"DiskFull", "Full",
                [](auto& env, auto& database, const QString&, const QString& file) {
                    // Rows of 64 KB; as row 3 is about to go, the file may not grow.
                    // Space freed by earlier runs would take them without growing.
                    writeRows(file,
                              std::vector<pw::Row>(4, {std::int64_t{1}, std::string(65536, 'm')}));
                    database.connection().execute("VACUUM");
                    env.bar.onChange = [&database](double percent) {
                        if (percent == 75) {
                            const auto number = [&database](const char* pragma) {
                                return database.connection()
                                    .query(pragma)
                                    .rows.at(0)
                                    .at(0)
                                    ->toULongLong();
                            };
                            testing_support::FileSizeLimit::limit(number("PRAGMA page_count") *
                                                                  number("PRAGMA page_size"));
                        }
                    };
                },
                [](auto& env, auto&, const QString&, const QString&) {
                    env.bar.onChange = nullptr;
                    testing_support::FileSizeLimit::limit(RLIM_INFINITY);
                },
                1, 2, false},
        Failure{"ProgramEnds", "SQLite",
                [](auto& env, auto&, const QString&, const QString&) {
                    env.bar.onChange = [](double percent) {
                        if (percent == 75) {
                            userio::stopLongWork();
                        }
                    };
                },
                noRepair, 0, 2, false}),
    [](const auto& info) { return std::string(info.param.name); });
