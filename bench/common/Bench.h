#pragma once

// What the benchmarks share: timing and medians, peak memory, figures as
// name=value lines, the source table they send, and the data sources that
// scripts/bench prepares.

#include "paradox-writer/ParadoxWriter.h"
#include "platform/odbc/Odbc.h"
#include "platform/userio/Dialogs.h"
#include "sources/Settings.h"
#include "sources/Target.h"

#include <chrono>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start);

template <typename Work> double secondsOf(Work&& work) {
    const Clock::time_point start = Clock::now();
    work();
    return secondsSince(start);
}

// The processor time of this process so far (user and system), in seconds.
double cpuSeconds();

// Wall-clock and processor seconds of a piece of work.
struct Timing {
    double seconds = 0;
    double cpuSeconds = 0;
};

template <typename Work> Timing timingOf(Work&& work) {
    const double cpuBefore = cpuSeconds();
    const double seconds = secondsOf(work);
    return {seconds, cpuSeconds() - cpuBefore};
}

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};
Spread spreadOf(std::vector<double> values);

// The peak resident memory in MB since the last reset.
double peakRssMb();
void resetPeakRss();

void print(const std::string& name, double value, int decimals = 3);
// name=median, name_min=..., name_max=...
void print(const std::string& name, const Spread& spread, int decimals = 3);

// Prints the message to stderr and ends the benchmark with status 1.
[[noreturn]] void fail(const std::string& message);

// The data source scripts/bench prepared, from ORVANDEL_BENCH_<KIND>_DSN.
QString dataSourceOf(const char* kind);
sources::Target openDataSource(const QString& name);
void dropTableIfExists(const QString& dataSource, const QString& table);

// Row r of the table the transfer benchmarks send: fixed fields of every
// kind and a memo, some of whose values need the memo file.
paradox_writer::TableDesign sentDesign();
paradox_writer::Row sentRow(std::int64_t r);
void writeSentTable(const QString& path, std::int64_t rows);

// Dialogs that answer Yes and print every message to stderr.
struct QuietDialogs : userio::Dialogs {
    int messages = 0;
    void message(QWidget*, const QString& text) override;
    Answer ask(QWidget*, const QString&, const QString&, bool) override { return Answer::Yes; }
    QString input(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString pickFolder(QWidget*, const QString&) override { return {}; }
};

struct Settings : sources::ConnectionSettings {
    QString folder;
    QString dataSource;
    QString paradoxFolder() const override { return folder; }
    QString dataSourceName() const override { return dataSource; }
};

} // namespace bench
