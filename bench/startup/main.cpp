// Times start-up: from starting the program's process until its main window
// first paints, on the settings in place (scripts/bench puts the demo's
// there). Each run is a fresh process that starts as the program does and
// ends at that paint. Prints name=value lines.
//
//     bench-startup [runs]

#include "Bench.h"
#include "shell/Application.h"

#include <QApplication>
#include <QProcess>
#include <ctime>

namespace {

std::int64_t monotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// Prints the time since startedNs and ends the process at the main window's
// first paint.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(std::int64_t startedNs) : startedNs_(startedNs) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && dynamic_cast<shell::MainWindow*>(object)) {
            std::printf("%.6f\n", static_cast<double>(monotonicNs() - startedNs_) / 1e9);
            std::fflush(stdout);
            std::_Exit(0);
        }
        return false;
    }

private:
    std::int64_t startedNs_;
};

// The program's own start, watched.
int runProgram(int argc, char* argv[], std::int64_t startedNs) {
    QApplication app(argc, argv);
    FirstPaint watch(startedNs);
    app.installEventFilter(&watch);
    shell::Application orvandel;
    orvandel.start();
    return app.exec();
}

double timeOneStart(const QString& program) {
    QProcess child;
    const std::int64_t started = monotonicNs();
    child.start(program, {QStringLiteral("--child"), QString::number(started)});
    if (!child.waitForFinished(20000) || child.exitCode() != 0)
        bench::fail("the program did not show its main window; are the demo settings in place?");
    bool ok = false;
    const double seconds = child.readAllStandardOutput().trimmed().toDouble(&ok);
    if (!ok)
        bench::fail("no time from the started program");
    return seconds;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::string(argv[1]) == "--child")
        return runProgram(argc, argv, std::stoll(argv[2]));
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    std::vector<double> times;
    timeOneStart(QCoreApplication::applicationFilePath()); // libraries in the cache
    for (int i = 0; i < runs; ++i)
        times.push_back(timeOneStart(QCoreApplication::applicationFilePath()));
    bench::print("startup_s", bench::spreadOf(times));
    return 0;
}
