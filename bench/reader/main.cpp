// Reads every value of every row through the recordset. Prints name=value
// lines.
//
//     bench-reader
//         writes tables of 10,000 and 1,000,000 rows with 8 fixed-size
//         fields, and one of 200,000 rows with a memo, and reads them: rows
//         and MB per second, the time to read the file raw, and the peak
//         resident memory after each size (it must not grow with the rows).
//     bench-reader FILE.db [repeats]
//         reads an existing table repeats times (default 5): rows per second
//         (median and best), MB per second and peak memory.

#include "Bench.h"
#include "platform/paradox/Lookup.h"
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

ReadResult readAll(const fs::path& file) {
    const auto start = std::chrono::steady_clock::now();
    auto rs = paradox::openTable(file);
    ReadResult result;
    const std::size_t n = rs.fields().size();
    for (; !rs.eof(); rs.moveNext(), ++result.rows)
        for (std::size_t i = 0; i < n; ++i) {
            const paradox::Value v = rs.value(i);
            result.checksum += static_cast<std::size_t>(v.integer) + v.text.size() +
                               static_cast<std::size_t>(v.number) + v.boolean;
        }
    result.seconds = bench::secondsSince(start);
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
    return bench::secondsSince(start);
}

// The bytes of the table and its memo file.
double megabytesOf(const fs::path& table) {
    const auto memo = paradox::findMemoFile(table);
    return static_cast<double>(fs::file_size(table) + (memo ? fs::file_size(*memo) : 0)) / 1e6;
}

int readFile(const fs::path& file, int repeats) {
    std::vector<double> rates;
    ReadResult result;
    bench::resetPeakRss();
    for (int i = 0; i < repeats; ++i) {
        result = readAll(file);
        rates.push_back(static_cast<double>(result.rows) / result.seconds);
    }
    const bench::Spread spread = bench::spreadOf(rates);
    bench::print("rows", static_cast<double>(result.rows), 0);
    bench::print("rows_per_s", spread.median, 0);
    bench::print("rows_per_s_best", spread.max, 0);
    bench::print("mb_per_s", megabytesOf(file) * spread.median / static_cast<double>(result.rows),
                 1);
    bench::print("peak_rss_mb", bench::peakRssMb(), 1);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        try {
            return readFile(argv[1], argc > 2 ? std::max(1, std::atoi(argv[2])) : 5);
        } catch (const std::exception& e) {
            bench::fail(e.what());
        }
    }
    const fs::path folder =
        fs::temp_directory_path() / ("orvandel-bench-" + std::to_string(::getpid()));
    try {
        fs::create_directories(folder);
        writeFixed((folder / "SMALL.db").string(), 10000);
        writeFixed((folder / "LARGE.db").string(), 1000000);
        writeMemo((folder / "MEMO.db").string(), 200000);

        bench::resetPeakRss();
        readAll(folder / "SMALL.db");
        const double rss10k = bench::peakRssMb();

        bench::resetPeakRss();
        const double raw = rawRead((folder / "LARGE.db").string());
        bench::resetPeakRss();
        const ReadResult large = readAll(folder / "LARGE.db");
        const double rss1m = bench::peakRssMb();
        const double largeMb = static_cast<double>(fs::file_size(folder / "LARGE.db")) / 1e6;

        const ReadResult memo = readAll(folder / "MEMO.db");
        const double memoMb = megabytesOf(folder / "MEMO.db");

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
    fs::remove_all(folder);
    return 0;
}
