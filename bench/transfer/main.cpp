// Times the whole transfer against the bare ODBC layer, side by side: the
// statements of one untimed send are recorded; then each round sends the
// table through the main window's send button into a fresh table, with
// nothing recorded, and replays the recorded texts bare into another, each
// timed by the clock and by the program's own processor time. Runs
// against SQLite, PostgreSQL or MariaDB, each in a process of its own so that
// the memory figures start from the same ground; prints name=value lines.
// With "-press" after the target it times instead one send of a large table
// (1,000,000 rows unless told), from the press of the button to the last row.
//
//     bench-transfer sqlite|pg|mariadb[-press] [rows [rounds]]

#include "Bench.h"
#include "shell/MainWindow.h"
#include "transfer/SendCheck.h"
#include "transfer/Statements.h"

#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>
#include <map>

namespace {

// Opens real connections; while recording, every statement sent through
// them is kept in a file.
class Recorder : public odbc::Opener {
public:
    explicit Recorder(const QString& path) : file_(path) {}

    std::unique_ptr<odbc::Connection> open(const odbc::OpenRequest& request) override;
    void start() {
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
            bench::fail("cannot write " + file_.fileName().toStdString());
        out_.setDevice(&file_);
    }
    void stop() { file_.close(); }
    bool recording() const { return file_.isOpen(); }
    void note(const QString& statement) { out_ << statement; }

private:
    odbc::OdbcOpener real_;
    QFile file_;
    QDataStream out_;
};

class RecordedConnection : public odbc::ForwardingConnection {
public:
    RecordedConnection(std::unique_ptr<odbc::Connection> real, Recorder& recorder)
        : ForwardingConnection(std::move(real)), recorder_(recorder) {}
    void execute(const QString& statement) override {
        recorder_.note(statement);
        ForwardingConnection::execute(statement);
    }

private:
    Recorder& recorder_;
};

std::unique_ptr<odbc::Connection> Recorder::open(const odbc::OpenRequest& request) {
    auto connection = real_.open(request);
    if (!recording())
        return connection;
    return std::make_unique<RecordedConnection>(std::move(connection), *this);
}

// The recorded statements, each naming `table` in place of the sent one.
QStringList recordedStatements(const QString& path, const QString& sent, const QString& table) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        bench::fail("cannot read " + path.toStdString());
    QDataStream in(&file);
    const QString from = transfer::quotedName(sent);
    const QString to = transfer::quotedName(table);
    QStringList statements;
    while (!in.atEnd()) {
        QString statement;
        in >> statement;
        const qsizetype at = statement.indexOf(from);
        statements << (at < 0 ? statement : statement.replace(at, from.size(), to));
    }
    return statements;
}

bench::Timing replay(const QString& dataSource, const QStringList& statements) {
    return bench::timingOf([&] {
        const auto connection = bench::openDataSource(dataSource);
        for (const QString& statement : statements)
            connection->execute(statement);
    });
}

class Bench {
public:
    Bench(const QString& dataSource, const QString& folder)
        : recorder_(folder + "/statements"), window_(dialogs_, settings_, recorder_, runner_) {
        settings_.folder = folder;
        settings_.dataSource = dataSource;
    }

    // Sends the Paradox table through the send button into a fresh table.
    bench::Timing send(const QString& table) {
        bench::dropTableIfExists(settings_.dataSource, table);
        window_.controls().targetList->clearAll();
        window_.controls().paradoxList->clearAll();
        window_.controls().paradoxList->add(table);
        window_.controls().paradoxList->setSelectedAt(0, true);
        window_.controls().paradoxList->setCurrent(0);
        const int messages = dialogs_.messages;
        const bench::Timing timing =
            bench::timingOf([&] { window_.controls().sendToTargetButton->click(); });
        if (dialogs_.messages != messages)
            bench::fail("the send of " + table.toStdString() + " failed");
        return timing;
    }

    // The read of the whole table that a send makes before it changes
    // anything, alone.
    double check(const sources::Target& target, const QString& table) {
        std::int64_t row = 0;
        const codepage::TableFiles files(
            std::filesystem::path((settings_.folder + "/" + table + ".db").toStdString()));
        return bench::secondsOf([&] { transfer::checkTableSendable(target, table, files, row); });
    }

    // Peak memory is taken in the untimed sends, so the timed ones carry
    // nothing but the send.
    void run(const std::string& target, int rows, int rounds) {
        const QString dataSource = settings_.dataSource;
        bench::writeSentTable(settings_.folder + "/SMALL.db", 10000);
        bench::writeSentTable(settings_.folder + "/LARGE.db", rows);
        bench::resetPeakRss();
        send("SMALL");
        const double peakSmall = bench::peakRssMb();
        bench::dropTableIfExists(dataSource, "SMALL");

        bench::resetPeakRss();
        recorder_.start();
        send("LARGE");
        recorder_.stop();
        const double peakLarge = bench::peakRssMb();

        // Every other round replays first, so that neither side always runs on
        // what the other left behind.
        std::vector<double> sends, replays, ratios, sendsCpu, replaysCpu, cpuRatios, checks,
            checkShares;
        const sources::Target connection = bench::openDataSource(dataSource);
        for (int round = 0; round < rounds; ++round) {
            const auto timeSend = [&] {
                const bench::Timing timing = send("LARGE");
                sends.push_back(timing.seconds);
                sendsCpu.push_back(timing.cpuSeconds);
            };
            const auto timeReplay = [&] {
                bench::dropTableIfExists(dataSource, "REPLAY");
                const QStringList statements =
                    recordedStatements(settings_.folder + "/statements", "LARGE", "REPLAY");
                const bench::Timing timing = replay(dataSource, statements);
                replays.push_back(timing.seconds);
                replaysCpu.push_back(timing.cpuSeconds);
            };
            if (round % 2 == 0) {
                timeSend();
                timeReplay();
            } else {
                timeReplay();
                timeSend();
            }
            ratios.push_back(sends.back() / replays.back());
            checks.push_back(check(connection, "LARGE"));
            checkShares.push_back(checks.back() / sends.back());
            cpuRatios.push_back(sendsCpu.back() / replaysCpu.back());
        }
        bench::dropTableIfExists(dataSource, "LARGE");
        bench::dropTableIfExists(dataSource, "REPLAY");

        const std::string suffix = "_" + target;
        const double send = bench::spreadOf(sends).median;
        bench::print("rows" + suffix, rows, 0);
        bench::print("send_s" + suffix, send);
        bench::print("replay_s" + suffix, bench::spreadOf(replays).median);
        bench::print("send_over_replay" + suffix, bench::spreadOf(ratios));
        // The program's own processor time (the server's is not counted,
        // but SQLite runs inside the program).
        bench::print("send_cpu_s" + suffix, bench::spreadOf(sendsCpu).median);
        bench::print("replay_cpu_s" + suffix, bench::spreadOf(replaysCpu).median);
        bench::print("send_over_replay_cpu" + suffix, bench::spreadOf(cpuRatios));
        bench::print("send_rows_per_s" + suffix, rows / send, 0);
        bench::print("check_s" + suffix, bench::spreadOf(checks).median);
        bench::print("check_share_of_send" + suffix, bench::spreadOf(checkShares));
        bench::print("peak_rss_mb_10k" + suffix, peakSmall, 1);
        bench::print("peak_rss_mb_" + std::to_string(rows / 1000) + "k" + suffix, peakLarge, 1);
    }

    // What a user waits for: from pressing the send button to the last row
    // of one large table.
    void runPress(const std::string& target, int rows) {
        bench::writeSentTable(settings_.folder + "/HUGE.db", rows);
        const double seconds = send("HUGE").seconds;
        bench::dropTableIfExists(settings_.dataSource, "HUGE");
        const std::string suffix = "_" + target;
        bench::print("press_rows" + suffix, rows, 0);
        bench::print("press_to_last_row_s" + suffix, seconds);
        bench::print("press_rows_per_s" + suffix, rows / seconds, 0);
    }

private:
    bench::QuietDialogs dialogs_;
    bench::Settings settings_;
    Recorder recorder_;
    commands::Runner runner_;
    shell::MainWindow window_;
};

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string target = argc > 1 ? argv[1] : "";
    const bool press = target.ends_with("-press");
    if (press)
        target.resize(target.size() - 6);
    const std::map<std::string, const char*> dataSources = {
        {"sqlite", "SQLITE"}, {"pg", "POSTGRES"}, {"mariadb", "MARIADB"}};
    if (!dataSources.count(target))
        bench::fail("usage: bench-transfer sqlite|pg|mariadb[-press] [rows [rounds]]");
    const int rows = argc > 2 ? std::atoi(argv[2]) : press ? 1000000 : 100000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 6;
    QTemporaryDir folder;
    Bench bench(bench::dataSourceOf(dataSources.at(target)), folder.path());
    if (press)
        bench.runPress(target, rows);
    else
        bench.run(target, rows, rounds);
    return 0;
}
