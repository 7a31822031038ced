// Every wait for a data source ends within its bound. Servers end a wait
// themselves (a statement too long, a lock another session holds) and the
// session goes on. A server that takes connections and never answers
// (SilentServer) meets every way of connecting; a real server stopped
// (SIGSTOP) in the middle of a send meets the send, and after it goes on
// (SIGCONT) the committed rows are there and no session is left open. The
// watchdog watches the connection's own sockets alone. Each bounded wait
// prints how long it took.

#include "maintenance/Maintenance.h"
#include "platform/odbc/Watchdog.h"
#include "shell/Application.h"
#include "sources/Catalogues.h"
#include "support/Lists.h"
#include "support/SilentServer.h"
#include "support/TestWorkspace.h"
#include "transfer/SendTables.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iostream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace pw = paradox_writer;
using Answer = userio::Dialogs::Answer;
using testing_support::entriesOf;
using testing_support::touch;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// Short bounds keep the tests fast.
const odbc::Timeouts shortBounds{2s, 2s, 1s};

// Seconds since start, printed for the record under what.
double secondsSince(Clock::time_point start, const std::string& what) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::cout << "[bounded wait] " << what << ": " << seconds << " s" << std::endl;
    ::testing::Test::RecordProperty(what, std::to_string(seconds));
    return seconds;
}

// How much longer than its bound a wait may take: the drivers count whole
// seconds and the watchdog looks at the sockets five times a second.
constexpr double slack = 3;

class SilentDataSource : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!server.listening()) {
            GTEST_SKIP() << server.problem().toStdString();
        }
        const auto name = testing_support::dataSourceOf(GetParam());
        if (!name) {
            GTEST_SKIP() << testing_support::missingDataSource(GetParam()).toStdString();
        }
        dataSource = *name;
        touch(folder.path() + "/Customer.db");
        sources::store::write(sources::store::ParadoxFolder, folder.path());
        sources::store::write(sources::store::DataSourceName, dataSource);
    }

    std::string label(const char* what) const { return std::string(GetParam()) + ", " + what; }

    testing_support::SilentServer server;
    QString dataSource;
    QTemporaryDir folder;
};

} // namespace

// The start-up gate, "OK", the data source's "Test Connection" and the
// tables catalogue each give up after the connect bound; the gate silently
// (the setup window stays), the others with a message naming the data source.
TEST_P(SilentDataSource, EveryConnectionAttemptGivesUpWithinItsBound) {
    const double bound = std::chrono::duration<double>(shortBounds.connect).count();
    testing_support::ScriptedDialogs dialogs;
    odbc::OdbcOpener opener(shortBounds);
    auto start = Clock::now();
    shell::Application app(dialogs, opener, [] {});
    app.start();
    EXPECT_LT(secondsSince(start, label("start-up gate")), bound + slack);
    EXPECT_TRUE(app.setupWindow().isVisible());
    EXPECT_EQ(app.mainWindow(), nullptr);

    start = Clock::now();
    app.setupWindow().controls().okButton->click();
    EXPECT_LT(secondsSince(start, label("OK")), bound + slack);
    EXPECT_EQ(app.mainWindow(), nullptr);
    EXPECT_TRUE(dialogs.messages().isEmpty());

    start = Clock::now();
    app.setupWindow().controls().testDataSourceButton->click();
    EXPECT_LT(secondsSince(start, label("Test Connection")), bound + slack);
    start = Clock::now();
    testing_support::MemoryList list;
    app.runner().run([&] { sources::listTargetTables(list, app.setupWindow(), opener); },
                     [&](const QString& text) { dialogs.message(nullptr, text); });
    EXPECT_LT(secondsSince(start, label("catalogue")), bound + slack);

    const QString silence =
        QStringLiteral("The data source \"%1\" did not answer within 2 seconds").arg(dataSource);
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(dialogs.messages()[0].startsWith(
        "Could not connect. Please check with your administrator.\n" + silence +
        ", so the program stopped waiting for it. Check that its server is running "
        "and can be reached from this computer."))
        << dialogs.messages()[0].toStdString();
    EXPECT_TRUE(dialogs.messages()[1].startsWith(silence)) << dialogs.messages()[1].toStdString();
    // The driver's own text follows, with its SQLSTATE.
    EXPECT_TRUE(dialogs.messages()[1].contains(QRegularExpression("\n[0-9A-Z]{5}: ")));
}

INSTANTIATE_TEST_SUITE_P(Servers, SilentDataSource,
                         ::testing::Values("SilentPostgres", "SilentMariaDB"),
                         [](const auto& info) { return std::string(info.param); });

namespace {

struct LongStatement {
    const char* kind;
    const char* sleep; // a statement that runs well past the bound
};

class LongStatementTest : public ::testing::TestWithParam<LongStatement> {};

} // namespace

// A statement that runs longer than the bound on a server that answers: the
// server itself cancels it at the bound, the message says it was not carried
// out, and the connection goes on.
TEST_P(LongStatementTest, TheServerCancelsItAtTheBound) {
    const LongStatement& c = GetParam();
    const auto name = testing_support::dataSourceOf(c.kind);
    if (!name) {
        GTEST_SKIP() << testing_support::missingDataSource(c.kind).toStdString();
    }
    odbc::OdbcOpener opener(shortBounds);
    const sources::Target target(opener.open({"Data Source=" + *name, {}}));
    const auto start = Clock::now();
    try {
        target->execute(c.sleep);
        ADD_FAILURE() << "the statement was not given up";
    } catch (const odbc::Error& error) {
        EXPECT_TRUE(error.description().startsWith(
            QStringLiteral("The data source \"%1\" cancelled a statement that took longer than "
                           "2 seconds; it was not carried out.")
                .arg(*name)))
            << error.description().toStdString();
        EXPECT_EQ(error.outcome(), odbc::Outcome::NotDone);
    }
    EXPECT_LT(secondsSince(start, std::string(c.kind) + ", a statement running too long"),
              2 + slack);
    EXPECT_EQ(target->query("SELECT 1").rows.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, LongStatementTest,
    ::testing::Values(LongStatement{"PostgreSQL", "SELECT pg_sleep(10)"},
                      LongStatement{"MariaDB", "SELECT COUNT(*) FROM seq_1_to_100000 a, "
                                               "seq_1_to_100000 b WHERE a.seq + b.seq = 3"}),
    [](const auto& info) { return std::string(info.param.kind); });

namespace {

// Runs the script scripts/test writes to stop or resume the processes
// serving a fault data source ("Fault", "MariaDBFault").
void controlFaultServer(const char* action, const std::string& kind) {
    const QByteArray script = qgetenv("ORVANDEL_TEST_FAULT_SERVER");
    ASSERT_FALSE(script.isEmpty()) << "ORVANDEL_TEST_FAULT_SERVER is not set";
    ASSERT_EQ(std::system((script + " " + action + " " + kind.c_str()).constData()), 0) << action;
}

struct Frozen {
    const char* kind;
    const char* otherSessions; // counts the database's sessions but the asking one
};

class FrozenServer : public testing_support::WorkspaceTest,
                     public ::testing::WithParamInterface<Frozen> {
protected:
    QString kind() const override { return GetParam().kind; }
    void SetUp() override {
        WorkspaceTest::SetUp();
        env.real = odbc::OdbcOpener(shortBounds);
    }
    void TearDown() override {
        if (frozen) {
            controlFaultServer("thaw", GetParam().kind);
        }
    }

    int otherSessions() {
        return database.connection().query(GetParam().otherSessions).rows.at(0).at(0)->toInt();
    }

    // Lets the server go on; then no session of the program may be left.
    void thawAndExpectNoSessionLeft() {
        controlFaultServer("thaw", GetParam().kind);
        frozen = false;
        const auto thawedAt = Clock::now();
        int left = otherSessions();
        for (int wait = 0; left != 0 && wait < 250; ++wait) {
            QThread::msleep(20); // the server notices the closed session once it runs
            left = otherSessions();
        }
        EXPECT_EQ(left, 0);
        secondsSince(thawedAt, std::string(GetParam().kind) + ", until no session is left");
    }

    // Stops the server's processes, noting when.
    void freeze() {
        controlFaultServer("freeze", GetParam().kind);
        frozen = true;
        frozenAt = Clock::now();
    }

    // The command ended within the statement bound, with one message that
    // says so (first, where atStart).
    void expectEndedInTime(const std::string& what, bool atStart) {
        ASSERT_TRUE(frozen);
        const std::chrono::milliseconds bound =
            shortBounds.statement + shortBounds.serverCancelGrace;
        EXPECT_LT(secondsSince(frozenAt, std::string(GetParam().kind) + ", " + what),
                  std::chrono::duration<double>(bound).count() + slack);
        const QString timedOut =
            QStringLiteral("The data source \"%1\" did not answer a statement within 3 seconds")
                .arg(database.name());
        ASSERT_EQ(env.dialogs.messages().size(), 1);
        const QString message = env.dialogs.messages()[0];
        EXPECT_TRUE(atStart ? message.startsWith(timedOut) : message.contains(timedOut))
            << message.toStdString();
        // The server had the statement: it may still carry it out.
        EXPECT_TRUE(message.contains("the server may still carry it out")) << message.toStdString();
    }

    bool frozen = false;
    Clock::time_point frozenAt;
};

} // namespace

// As row 3 of 4 is about to go, the server stops answering: the send ends
// within the statement bound with a message naming the data source; once the
// server goes on, the rows sent before are there, no session of the program
// is left, and the next send completes.
TEST_P(FrozenServer, ASendEndsWithinItsBoundAndKeepsWhatWasCommitted) {
    const QString table = addParadoxTable(
        "frozen", testing_support::designOf({{"ID", pw::Long}, {"NOTE", pw::Memo, 11}}),
        std::vector<pw::Row>(4, {std::int64_t{1}, std::string("fine")}));
    env.bar.onChange = [&](double percent) {
        if (percent == 75) {
            freeze();
        }
    };
    env.run(transfer::sendTables);
    env.bar.onChange = nullptr;
    ASSERT_NO_FATAL_FAILURE(expectEndedInTime("statement", false));
    const QStringList messages = env.dialogs.messages();
    for (const QString& part :
         {table, QStringLiteral("no answer to row 3"), QStringLiteral("2 of its 4 rows"),
          QStringLiteral("row 3 may be there as well")}) {
        EXPECT_TRUE(messages[0].contains(part)) << messages[0].toStdString();
    }
    EXPECT_EQ(env.opener.closed, static_cast<int>(env.opener.opened.size()));

    thawAndExpectNoSessionLeft();
    // The statement under way when the server stopped may have run once it went on.
    const std::size_t kept = database.rowsOf(table).size();
    EXPECT_TRUE(kept == 2 || kept == 3) << kept;
    EXPECT_TRUE(entriesOf(env.targetList).contains(table));

    env.dialogs.answers = {Answer::Yes};
    env.run(transfer::sendTables);
    EXPECT_EQ(env.dialogs.messages().size(), 1);
    EXPECT_EQ(database.rowsOf(table).size(), 4u);
}

// As the user answers Yes to replace a table, the server stops answering:
// the message says only what is known, that the table may or may not have
// been dropped (the server carries the DROP out once it goes on).
TEST_P(FrozenServer, AReplaceWithoutAnAnswerSaysTheTableMayBeGone) {
    const QString table = addParadoxTable("replaced", testing_support::designOf({{"ID", pw::Long}}),
                                          {{std::int64_t{1}}});
    database.createTableNamed(table);
    testing_support::fill(env.targetList, {table}, {});
    env.dialogs.answers = {Answer::Yes};
    env.dialogs.whileOpen = [&] {
        if (!frozen) {
            freeze();
        }
    };
    env.run(transfer::sendTables);
    ASSERT_NO_FATAL_FAILURE(expectEndedInTime("drop", false));
    const QString message = env.dialogs.messages()[0];
    EXPECT_TRUE(message.contains("may or may not have been dropped")) << message.toStdString();
    EXPECT_FALSE(message.contains("did not drop")) << message.toStdString();
    thawAndExpectNoSessionLeft();
}

// As a rename waits for the new name, the server stops answering: the
// rename ends within the statement bound with a message naming the data
// source, and no session is left once the server goes on. (The rename may
// still be carried out then: the server had received it.)
TEST_P(FrozenServer, ARenameEndsWithinItsBound) {
    const QString table = database.createTable("frozen");
    const QString renamed = testing_support::uniqueTableName("thawed");
    database.own(renamed);
    testing_support::fill(env.targetList, {table}, {table});
    env.targetList.setCurrent(0);
    env.dialogs.inputs = {renamed};
    env.dialogs.whileOpen = [&] {
        if (!frozen) { // not at the message at the end
            freeze();
        }
    };
    env.run(maintenance::renameTargetTable);
    ASSERT_NO_FATAL_FAILURE(expectEndedInTime("rename", true));
    thawAndExpectNoSessionLeft();
    EXPECT_NE(database.exists(table), database.exists(renamed));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, FrozenServer,
    ::testing::Values(Frozen{"Fault", "SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                      "current_database() AND pid <> pg_backend_pid()"},
                      Frozen{"MariaDBFault", "SELECT COUNT(*) FROM information_schema.PROCESSLIST "
                                             "WHERE DB = DATABASE() AND ID <> CONNECTION_ID()"}),
    [](const auto& info) { return std::string(info.param.kind); });

namespace {

class LockedTable : public testing_support::WorkspaceTest,
                    public ::testing::WithParamInterface<const char*> {
protected:
    QString kind() const override { return GetParam(); }
    void SetUp() override {
        WorkspaceTest::SetUp();
        env.real = odbc::OdbcOpener(shortBounds);
    }
};

} // namespace

// Another session reads a table in a transaction of its own. Dropping it,
// alone and to replace it in a send, and renaming it each end on the
// server's own error within the bound, and the message names the lock; the
// session goes on, and once the lock is gone the table is there, whole.
TEST_P(LockedTable, TheServerEndsTheWaitAndTheTableStaysWhole) {
    const QString table = database.createTable("locked");
    database.connection().execute("INSERT INTO \"" + table + "\" VALUES('kept')");
    pw::writeTable((folder.path() + "/" + table + ".db").toStdString(),
                   testing_support::designOf({{"ID", pw::Long}}), {{std::int64_t{1}}});
    const sources::Target holder = testing_support::openDataSource(database.name());
    odbc::OdbcOpener opener(shortBounds);
    const sources::Target waiting(opener.open({"Data Source=" + database.name(), {}}));
    const auto whileLocked = [&](const char* what, const std::function<void()>& work) {
        holder->execute("BEGIN");
        holder->query(testing_support::selectAllFrom(table));
        const auto start = Clock::now();
        work();
        EXPECT_LT(secondsSince(start, std::string(GetParam()) + ", a lock held: " + what),
                  std::chrono::duration<double>(shortBounds.statement).count() + slack);
        holder->execute("ROLLBACK");
        EXPECT_EQ(database.rowsOf(table), (std::vector<std::vector<odbc::Value>>{{"kept"}}))
            << what;
    };
    whileLocked("DROP TABLE", [&] {
        try {
            waiting->execute("DROP TABLE \"" + table + "\"");
            ADD_FAILURE() << "dropped";
        } catch (const odbc::Error& error) {
            EXPECT_TRUE(error.lockHeld()) << error.what();
            EXPECT_EQ(error.outcome(), odbc::Outcome::NotDone);
        }
        EXPECT_EQ(waiting->query("SELECT 1").rows.size(), 1u);
    });
    const auto expectOneMessageOnTheLock = [&] {
        ASSERT_EQ(env.dialogs.messages().size(), 1);
        EXPECT_TRUE(
            env.dialogs.messages()[0].contains("another session holds a lock on a table it needs"))
            << env.dialogs.messages()[0].toStdString();
        env.dialogs.shown.clear();
    };
    whileLocked("a send replacing it", [&] {
        fill(env.paradoxList, {table}, {table});
        fill(env.targetList, {table}, {});
        env.dialogs.answers = {Answer::Yes};
        env.run(transfer::sendTables);
        env.dialogs.shown.erase(env.dialogs.shown.begin()); // the question
        expectOneMessageOnTheLock();
    });
    const auto selectOnly = [&] {
        env.targetList.clearAll();
        fill(env.targetList, {table}, {table});
        env.targetList.setCurrent(0);
    };
    whileLocked("the drop command", [&] {
        selectOnly();
        env.run(maintenance::dropTargetTables);
        expectOneMessageOnTheLock();
    });
    whileLocked("the rename command", [&] {
        selectOnly();
        env.dialogs.inputs = {testing_support::uniqueTableName("unlocked")};
        database.own(env.dialogs.inputs[0]);
        env.run(maintenance::renameTargetTable);
        expectOneMessageOnTheLock();
    });
}

INSTANTIATE_TEST_SUITE_P(Engines, LockedTable, ::testing::Values("SQLite", "PostgreSQL", "MariaDB"),
                         [](const auto& info) { return std::string(info.param); });

namespace {

using odbc::detail::Watchdog;

// A listening socket on loopback that accepts nothing: connections complete
// into its queue, and bytes sent to them are acknowledged.
class Listener {
public:
    Listener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(fd_, reinterpret_cast<const sockaddr*>(&address), length);
        listen(fd_, 8);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port = std::to_string(ntohs(address.sin_port));
        address_ = address;
    }
    ~Listener() { close(fd_); }

    // A new socket connected to it.
    int connect() const {
        const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(client, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
        return client;
    }

    std::string port;

private:
    int fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address_{};
};

// A socket that a thread of its own keeps busy, a byte every 50 ms.
class BusySocket {
public:
    explicit BusySocket(int fd)
        : fd(fd), thread_([this](std::stop_token stop) {
              while (!stop.stop_requested()) {
                  failed = failed || send(this->fd, "x", 1, MSG_NOSIGNAL) != 1;
                  std::this_thread::sleep_for(50ms);
              }
          }) {}
    ~BusySocket() {
        thread_.request_stop();
        thread_.join();
        close(fd);
    }

    const int fd;
    std::atomic<bool> failed{false};

private:
    std::jthread thread_;
};

bool isShutDown(int fd) {
    char byte = 0;
    return recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

struct WatchCase {
    const char* name;
    bool reconnect; // the connection's socket closes, another takes its number, it connects again
    bool busy;      // bytes keep moving on the connection's socket
};

class WatchdogTest : public ::testing::TestWithParam<WatchCase> {};

} // namespace

// Another thread opens a busy socket while the connection is made, and one
// that reuses the number of the connection's closed socket: neither delays
// the bound nor is shut down, and the watchdog follows the connection's new
// socket. A connection whose bytes keep moving is never given up.
TEST_P(WatchdogTest, WatchesTheConnectionsOwnSocketsAlone) {
    const WatchCase& c = GetParam();
    const auto bound = 1s;
    const Listener server, other;
    Watchdog watchdog({"127.0.0.1", server.port, {}});
    std::vector<std::unique_ptr<BusySocket>> foreign;
    int own = -1;
    {
        const Watchdog::Call connecting(watchdog, bound);
        foreign.push_back(std::make_unique<BusySocket>(other.connect()));
        own = server.connect();
    }
    watchdog.adoptNewSockets();
    if (c.reconnect) {
        close(own);
        foreign.push_back(std::make_unique<BusySocket>(other.connect()));
        ASSERT_EQ(foreign.back()->fd, own) << "the number was not reused";
        own = server.connect();
    }
    std::optional<BusySocket> busy;
    if (c.busy) {
        busy.emplace(own);
    }
    const auto start = Clock::now();
    {
        const Watchdog::Call waiting(watchdog, bound);
        while (!watchdog.tripped() && Clock::now() - start < 3 * bound) {
            std::this_thread::sleep_for(50ms);
        }
    }
    const double seconds = secondsSince(start, std::string("watchdog, ") + c.name);
    EXPECT_EQ(watchdog.tripped(), !c.busy);
    if (!c.busy) {
        EXPECT_LT(seconds, 1.5);
        EXPECT_TRUE(isShutDown(own));
        close(own);
    }
    for (const auto& socket : foreign) {
        EXPECT_FALSE(socket->failed || isShutDown(socket->fd));
    }
}

INSTANTIATE_TEST_SUITE_P(Sockets, WatchdogTest,
                         ::testing::Values(WatchCase{"another threads socket", false, false},
                                           WatchCase{"a reconnect", true, false},
                                           WatchCase{"bytes moving past the bound", false, true}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::erase(name, ' ');
                             return name;
                         });
