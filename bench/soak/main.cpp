// A long send: a table of fixed fields and a memo (1,000,000 rows unless
// told otherwise) sent into PostgreSQL through the main window's send
// button. Prints the rows per second and the peak memory at 10%, 50% and
// 100% of the send, then reads every value back and checks the row count and
// a checksum against the source table. Prints name=value lines.
//
//     bench-soak [rows]

#include "Bench.h"
#include "platform/paradox/Paradox.h"
#include "shell/MainWindow.h"
#include "transfer/Statements.h"
#include "transfer/ValueText.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

// Values compared as text, numbers by their value: the database may keep
// "1.250" for 1.25.
class Checksum {
public:
    void add(const std::optional<QString>& value) {
        if (!value) {
            mix("\x01");
            return;
        }
        bool number = false;
        const double d = value->toDouble(&number);
        mix(number ? QByteArray::number(d, 'g', 15) : value->toUtf8());
    }
    void endRow() { mix("\x1e"); }
    std::uint64_t value() const { return hash_; }

private:
    void mix(const QByteArray& bytes) {
        for (const char c : bytes)
            hash_ = (hash_ ^ static_cast<unsigned char>(c)) * 0x100000001b3;
        hash_ = (hash_ ^ 0x1f) * 0x100000001b3;
    }
    std::uint64_t hash_ = 0xcbf29ce484222325;
};

// Every value of the source table, as the send writes it.
std::uint64_t checksumOfSource(const QString& file, std::int64_t& rows) {
    auto table = paradox::openTable(file.toStdString());
    Checksum sum;
    for (rows = 0; !table.eof(); table.moveNext(), ++rows) {
        for (std::size_t i = 0; i < table.fields().size(); ++i) {
            const paradox::Value value = table.value(i);
            sum.add(value.isNull()
                        ? std::nullopt
                        : std::optional(QString::fromStdString(transfer::textOf(value))));
        }
        sum.endRow();
    }
    return sum.value();
}

// Every value read back, a page of rows at a time, in the order of "Id".
std::uint64_t checksumOfTarget(const QString& dataSource, const QString& table, std::int64_t rows) {
    constexpr std::int64_t page = 20000;
    const auto connection = bench::openDataSource(dataSource);
    Checksum sum;
    for (std::int64_t from = 0; from < rows; from += page) {
        const odbc::Rows values = connection->query(
            QStringLiteral("SELECT * FROM %1 WHERE \"Id\" >= %2 AND \"Id\" < %3 ORDER BY \"Id\"")
                .arg(transfer::quotedName(table))
                .arg(from)
                .arg(from + page));
        for (const auto& row : values.rows) {
            for (const auto& value : row)
                sum.add(value);
            sum.endRow();
        }
    }
    return sum.value();
}

std::int64_t countRows(const QString& dataSource, const QString& table) {
    const auto connection = bench::openDataSource(dataSource);
    return connection->query("SELECT count(*) FROM " + transfer::quotedName(table))
        .rows.at(0)
        .at(0)
        ->toLongLong();
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
    QTemporaryDir folder;
    bench::writeSentTable(folder.path() + "/SOAK.db", rows);

    bench::QuietDialogs dialogs;
    bench::Settings settings;
    settings.folder = folder.path();
    settings.dataSource = bench::dataSourceOf("POSTGRES");
    bench::dropTableIfExists(settings.dataSource, "SOAK");
    odbc::OdbcOpener opener;
    commands::Runner runner;
    shell::MainWindow window(dialogs, settings, opener, runner);
    window.controls().paradoxList->add("SOAK");
    window.controls().paradoxList->setSelectedAt(0, true);
    window.controls().paradoxList->setCurrent(0);

    // The peak so far when the bar first reaches each mark.
    std::vector<std::pair<int, double>> peaks = {{10, -1}, {50, -1}};
    QObject::connect(window.controls().progressBar, &widgets::ProgressBar::percentChanged,
                     [&peaks](double percent) {
                         for (auto& [mark, peak] : peaks)
                             if (peak < 0 && percent >= mark)
                                 peak = bench::peakRssMb();
                     });
    bench::resetPeakRss();
    const double seconds = bench::secondsOf([&] { window.controls().sendToTargetButton->click(); });
    const double peakEnd = bench::peakRssMb();
    if (dialogs.messages != 0)
        bench::fail("the send did not complete");

    std::int64_t sourceRows = 0;
    const std::uint64_t source = checksumOfSource(folder.path() + "/SOAK.db", sourceRows);
    const std::int64_t targetRows = countRows(settings.dataSource, "SOAK");
    const std::uint64_t target = checksumOfTarget(settings.dataSource, "SOAK", targetRows);
    bench::dropTableIfExists(settings.dataSource, "SOAK");

    bench::print("soak_rows", static_cast<double>(rows), 0);
    bench::print("soak_rows_per_s", static_cast<double>(rows) / seconds, 0);
    bench::print("soak_peak_rss_mb_10pct", peaks[0].second, 1);
    bench::print("soak_peak_rss_mb_50pct", peaks[1].second, 1);
    bench::print("soak_peak_rss_mb_100pct", peakEnd, 1);
    bench::print("soak_rows_match", targetRows == sourceRows, 0);
    bench::print("soak_checksum_match", target == source, 0);
    if (targetRows != sourceRows || target != source)
        bench::fail("the table read back differs from the source: " + std::to_string(targetRows) +
                    " of " + std::to_string(sourceRows) + " rows");
    return 0;
}
