#include "Bench.h"

#include "transfer/Statements.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/resource.h>

namespace pw = paradox_writer;

namespace bench {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Spread spreadOf(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

// VmHWM of /proc/self/status; writing 5 to clear_refs sets it back to the
// current size.
double peakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

void resetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void print(const std::string& name, double value, int decimals) {
    std::printf("%s=%.*f\n", name.c_str(), decimals, value);
    std::fflush(stdout);
}

void print(const std::string& name, const Spread& spread, int decimals) {
    print(name, spread.median, decimals);
    print(name + "_min", spread.min, decimals);
    print(name + "_max", spread.max, decimals);
}

void fail(const std::string& message) {
    std::fprintf(stderr, "error: %s\n", message.c_str());
    std::exit(1);
}

QString dataSourceOf(const char* kind) {
    const std::string variable = std::string("ORVANDEL_BENCH_") + kind + "_DSN";
    const QString name = qEnvironmentVariable(variable.c_str());
    if (name.isEmpty())
        fail(variable + " is not set; run the benchmarks through scripts/bench");
    return name;
}

sources::Target openDataSource(const QString& name) {
    odbc::OdbcOpener opener;
    return sources::Target(opener.open({QStringLiteral("Data Source=") + name, QString()}));
}

void dropTableIfExists(const QString& dataSource, const QString& table) {
    openDataSource(dataSource)->execute("DROP TABLE IF EXISTS " + transfer::quotedName(table));
}

pw::TableDesign sentDesign() {
    pw::TableDesign design;
    design.columns = {{"Id", pw::Long},      {"Amount", pw::Number},  {"Day", pw::Date},
                      {"At", pw::Timestamp}, {"Count", pw::Short},    {"Flag", pw::Logical},
                      {"Price", pw::Money},  {"Name", pw::Alpha, 20}, {"Note", pw::Memo, 20}};
    return design;
}

pw::Row sentRow(std::int64_t r) {
    const std::int64_t day = 730120 + r % 5000;
    return {r,
            static_cast<double>(r) * 1.25,
            day,
            day * 86400000 + r % 86400000,
            r % 30000,
            r % 2 == 0,
            static_cast<double>(r) * 0.01,
            "Customer " + std::to_string(r),
            std::string(r % 7 == 0 ? 200 : 10, static_cast<char>('a' + r % 26))};
}

void writeSentTable(const QString& path, std::int64_t rows) {
    pw::TableWriter writer(path.toStdString(), sentDesign());
    for (std::int64_t r = 0; r < rows; ++r)
        writer.addRow(sentRow(r));
    writer.finish();
}

void QuietDialogs::message(QWidget*, const QString& text) {
    ++messages;
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
}

} // namespace bench
