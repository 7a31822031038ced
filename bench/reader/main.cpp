// bench-reader [folder]: writes tables of 10,000 and 1,000,000 rows with 8
// fixed-size fields, and one of 200,000 rows with a memo, then reads every
// value of every row through the recordset. Prints name=value lines: rows and
// MB per second, the time to read the file raw, and the peak resident memory
// after reading each size (it must not grow with the row count).

#include "paradox-writer/ParadoxWriter.h"
#include "platform/paradox/Paradox.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
namespace pw = paradox_writer;

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Peak resident set size in MB (VmHWM), and a reset of it where the kernel
// allows, so each measurement starts from the current size.
double peakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

void resetPeakRss() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

void writeFixed(const std::string& path, int rows) {
    pw::TableDesign design;
    design.columns = {{"Id", pw::Long},      {"Amount", pw::Number}, {"Day", pw::Date},
                      {"At", pw::Timestamp}, {"Count", pw::Short},   {"Flag", pw::Logical},
                      {"Price", pw::Money},  {"Name", pw::Alpha, 20}};
    design.blockKiB = 4;
    pw::TableWriter writer(path, design);
    for (int i = 0; i < rows; ++i)
        writer.addRow({std::int64_t{i + 1}, i * 0.25, std::int64_t{730000 + i % 3000},
                       std::int64_t{(730000 + i % 3000) * std::int64_t{86400000} + i % 86400000},
                       std::int64_t{i % 30000}, i % 3 == 0, i * 1.5,
                       std::string("customer ") + std::to_string(i)});
    writer.finish();
}

void writeMemo(const std::string& path, int rows) {
    pw::TableDesign design;
    design.columns = {{"Id", pw::Long}, {"Note", pw::Memo, 30}};
    pw::TableWriter writer(path, design);
    for (int i = 0; i < rows; ++i)
        writer.addRow({std::int64_t{i}, std::string(static_cast<std::size_t>(10 + i % 400),
                                                    static_cast<char>('a' + i % 26))});
    writer.finish();
}

struct ReadResult {
    std::int64_t rows = 0;
    double seconds = 0;
    std::size_t checksum = 0;
};

ReadResult readAll(const fs::path& folder, const std::string& table) {
    const auto start = std::chrono::steady_clock::now();
    auto rs = paradox::openTable(folder / (table + ".db"));
    ReadResult result;
    const std::size_t n = rs.fields().size();
    for (; !rs.eof(); rs.moveNext(), ++result.rows)
        for (std::size_t i = 0; i < n; ++i) {
            const paradox::Value v = rs.value(i);
            result.checksum += static_cast<std::size_t>(v.integer) + v.text.size() +
                               static_cast<std::size_t>(v.number) + v.boolean;
        }
    result.seconds = seconds(start);
    if (result.rows != rs.recordCount())
        throw std::runtime_error("read " + std::to_string(result.rows) + " rows of " +
                                 std::to_string(rs.recordCount()));
    return result;
}

double rawRead(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes(fs::file_size(path));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return seconds(start);
}

std::string mb(const fs::path& p) {
    fs::path m = p;
    m.replace_extension(".mb");
    return m.string();
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder =
        argc > 1 ? fs::path(argv[1])
                 : fs::temp_directory_path() / ("orvandel-bench-" + std::to_string(::getpid()));
    try {
        fs::create_directories(folder);
        writeFixed((folder / "SMALL.db").string(), 10000);
        writeFixed((folder / "LARGE.db").string(), 1000000);
        writeMemo((folder / "MEMO.db").string(), 200000);

        resetPeakRss();
        readAll(folder, "SMALL");
        const double rss10k = peakRssMb();

        resetPeakRss();
        const double raw = rawRead((folder / "LARGE.db").string());
        resetPeakRss();
        const ReadResult large = readAll(folder, "LARGE");
        const double rss1m = peakRssMb();
        const double largeMb = static_cast<double>(fs::file_size(folder / "LARGE.db")) / 1e6;

        const ReadResult memo = readAll(folder, "MEMO");
        const double memoMb = static_cast<double>(fs::file_size(folder / "MEMO.db") +
                                                  fs::file_size(mb(folder / "MEMO.db"))) /
                              1e6;

        std::printf("reader_rows=%lld\n", static_cast<long long>(large.rows));
        std::printf("reader_s=%.3f\n", large.seconds);
        std::printf("reader_rows_per_s=%.0f\n", static_cast<double>(large.rows) / large.seconds);
        std::printf("reader_mb_per_s=%.1f\n", largeMb / large.seconds);
        std::printf("raw_read_s=%.3f\n", raw);
        std::printf("peak_rss_mb_10k=%.1f\n", rss10k);
        std::printf("peak_rss_mb_1m=%.1f\n", rss1m);
        std::printf("memo_rows_per_s=%.0f\n", static_cast<double>(memo.rows) / memo.seconds);
        std::printf("memo_mb_per_s=%.1f\n", memoMb / memo.seconds);
        std::printf("checksum=%zu\n", large.checksum + memo.checksum);
    } catch (const std::exception& e) {
        std::cerr << "bench-reader: " << e.what() << "\n";
        fs::remove_all(folder);
        return 1;
    }
    if (argc <= 1)
        fs::remove_all(folder);
    return 0;
}
