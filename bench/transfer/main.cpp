// Times the whole table transfer: a Paradox table written by the test writer
// is sent through the main window's send button into a SQLite data source,
// then the same INSERT texts are replayed through the bare ODBC layer.
// Prints name=value lines.
//
//     bench-transfer [small-rows [large-rows]]

#include "paradox-writer/ParadoxWriter.h"
#include "shell/Form2.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace pw = paradox_writer;

namespace {

constexpr auto sqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

struct BenchSettings : sources::LiveSettings {
    QString folder;
    QString paradoxFolder() const override { return folder; }
    QString dataSourceName() const override { return QStringLiteral("OrvandelBench"); }
};

struct QuietDialogs : ui::Dialogs {
    void message(QWidget*, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    Answer ask(QWidget*, const QString&, const QString&, bool) override { return Answer::Yes; }
    QString input(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString pickFolder(QWidget*, const QString&) override { return {}; }
};

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// A private data source: the ini files live in the temporary folder.
void prepareDataSource(const QString& folder) {
    writeFile(folder + "/odbcinst.ini", QByteArray("[SQLite3]\nDriver=") + sqliteDriver + "\n");
    writeFile(folder + "/odbc.ini", ("[OrvandelBench]\nDriver=SQLite3\nDatabase=" + folder +
                                     "/bench.sqlite\nSyncPragma=OFF\n")
                                        .toUtf8());
    qputenv("ODBCSYSINI", folder.toLocal8Bit());
    qputenv("ODBCINI", (folder + "/odbc.ini").toLocal8Bit());
}

void writeSourceTable(const QString& path, int rows) {
    pw::TableDesign design;
    design.columns = {{"Id", pw::Long},      {"Amount", pw::Number},  {"Day", pw::Date},
                      {"At", pw::Timestamp}, {"Count", pw::Short},    {"Flag", pw::Logical},
                      {"Price", pw::Money},  {"Name", pw::Alpha, 20}, {"Note", pw::Memo, 20}};
    pw::TableWriter writer(path.toStdString(), design);
    for (int r = 0; r < rows; ++r) {
        writer.addRow({std::int64_t{r}, r * 1.25, std::int64_t{730120 + r % 5000},
                       std::int64_t{(730120LL + r % 5000) * 86400000 + r % 86400000},
                       std::int64_t{r % 30000}, r % 2 == 0, r * 0.01,
                       std::string("Customer ") + std::to_string(r),
                       std::string(r % 7 == 0 ? 200 : 10, 'm')});
    }
    writer.finish();
}

double peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Keeps every statement sent through its connections, one after another, in
// a file: length, then the UTF-8 text.
class StatementLog : public odbc::Opener {
public:
    explicit StatementLog(const QString& path) : file_(path) {}
    std::unique_ptr<odbc::Connection> open(const odbc::OpenRequest& request) override;
    void start() {
        file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
        recording_ = true;
    }
    void stop() {
        recording_ = false;
        file_.close();
    }
    void note(const QString& statement) {
        if (!recording_) {
            return;
        }
        const QByteArray text = statement.toUtf8();
        const quint32 size = static_cast<quint32>(text.size());
        file_.write(reinterpret_cast<const char*>(&size), sizeof size);
        file_.write(text);
    }

private:
    odbc::OdbcOpener real_;
    QFile file_;
    bool recording_ = false;
};

class LoggedConnection : public odbc::Connection {
public:
    LoggedConnection(std::unique_ptr<odbc::Connection> real, StatementLog& log)
        : real_(std::move(real)), log_(log) {}
    void execute(const QString& statement) override {
        log_.note(statement);
        real_->execute(statement);
    }
    std::unique_ptr<odbc::CatalogRows> tables() override { return real_->tables(); }
    odbc::Rows query(const QString& statement) override { return real_->query(statement); }

private:
    std::unique_ptr<odbc::Connection> real_;
    StatementLog& log_;
};

std::unique_ptr<odbc::Connection> StatementLog::open(const odbc::OpenRequest& request) {
    return std::make_unique<LoggedConnection>(real_.open(request), *this);
}

double sendThroughTheWindow(shell::Form2& window, const QString& table) {
    window.List2->clearAll();
    window.List2->add(table);
    window.List2->setSelectedAt(0, true);
    window.List2->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    const auto start = std::chrono::steady_clock::now();
    window.Check4->click();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Sends the logged statements again, bare, into a fresh table of the same
// data source.
double replay(const QString& logPath, const QString& table, const QString& fresh) {
    odbc::OdbcOpener opener;
    const auto connection = opener.open({QStringLiteral("Data Source=OrvandelBench"), QString()});
    QFile log(logPath);
    log.open(QIODevice::ReadOnly);
    const QString from = QStringLiteral("\"%1\"").arg(table);
    const QString to = QStringLiteral("\"%1\"").arg(fresh);
    const auto start = std::chrono::steady_clock::now();
    quint32 size = 0;
    while (log.read(reinterpret_cast<char*>(&size), sizeof size) == sizeof size) {
        QString statement = QString::fromUtf8(log.read(size));
        const qsizetype name = statement.indexOf(from);
        statement.replace(name, from.size(), to);
        connection->execute(statement);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int small = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int large = argc > 2 ? std::atoi(argv[2]) : 100000;
    QTemporaryDir folder;
    prepareDataSource(folder.path());
    BenchSettings settings;
    settings.folder = folder.path();
    QuietDialogs dialogs;
    StatementLog log(folder.path() + "/statements.log");
    commands::Runner runner;
    shell::Form2 window(dialogs, settings, log, runner);

    writeSourceTable(folder.path() + "/SMALL.db", small);
    writeSourceTable(folder.path() + "/LARGE.db", large);
    const double smallSeconds = sendThroughTheWindow(window, "SMALL");
    const double peakSmall = peakMiB();
    log.start();
    const double sendSeconds = sendThroughTheWindow(window, "LARGE");
    log.stop();
    const double peakLarge = peakMiB();
    const double replaySeconds = replay(folder.path() + "/statements.log", "LARGE", "REPLAY");

    std::printf("rows_small=%d\nrows_large=%d\n", small, large);
    std::printf("send_small_s=%.3f\n", smallSeconds);
    std::printf("send_s=%.3f\nreplay_s=%.3f\nsend_over_replay=%.3f\n", sendSeconds, replaySeconds,
                sendSeconds / replaySeconds);
    std::printf("send_rows_per_s=%.0f\n", large / sendSeconds);
    std::printf("peak_rss_mb_10k=%.1f\npeak_rss_mb_100k=%.1f\n", peakSmall, peakLarge);
    return 0;
}
