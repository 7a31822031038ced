// Times filling the main window's lists through its load, against a bare
// walk of the same entries, in alternating rounds: paradoxList from a Paradox tree
// of about 100,000 entries (10,000 tables in 1,000 folders, three levels
// deep, other files beside them), targetList from a PostgreSQL database of 5,000
// tables (against a bare fetch of its tables catalogue). The window is shown,
// so it repaints whenever the catalogues let events through. Prints
// name=value lines.
//
//     bench-catalogues [rounds]

#include "Bench.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr int tablesPerFolder = 10;
constexpr int otherFilesPerFolder = 89;
constexpr int databaseTables = 5000;

// prefix and n, e.g. "T12" (snprintf: GCC 12 warns wrongly on "T" + string).
std::string numbered(const char* prefix, int n, const char* suffix = "") {
    char name[64];
    std::snprintf(name, sizeof name, "%s%d%s", prefix, n, suffix);
    return name;
}

void fillFolder(const fs::path& folder, const fs::path& table, int& tables) {
    fs::create_directories(folder);
    for (int i = 0; i < tablesPerFolder; ++i, ++tables)
        fs::create_hard_link(table, folder / numbered("T", tables, ".db"));
    static const char* const kinds[] = {".px", ".txt", ".val", ".mb", ".dat"};
    for (int i = 0; i < otherFilesPerFolder; ++i)
        std::ofstream(folder / numbered("F", i, kinds[i % 5]));
}

// Folders 10 by 10 by 9 under the root, each with its tables and files;
// returns the table count.
int writeTree(const fs::path& root) {
    const fs::path table = root.parent_path() / "TEMPLATE.db";
    paradox_writer::writeTable(table.string(), bench::sentDesign(), {bench::sentRow(1)});
    int tables = 0;
    fillFolder(root, table, tables);
    for (int a = 0; a < 10; ++a) {
        const fs::path first = root / numbered("level", a);
        fillFolder(first, table, tables);
        for (int b = 0; b < 10; ++b) {
            const fs::path second = first / numbered("sub", b);
            fillFolder(second, table, tables);
            for (int c = 0; c < 9; ++c)
                fillFolder(second / numbered("leaf", c), table, tables);
        }
    }
    return tables;
}

std::size_t walkTree(const fs::path& root) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (extension == ".db" && entry.is_regular_file())
            names.push_back(entry.path().stem().string());
    }
    return names.size();
}

void ensureDatabaseTables(const QString& dataSource) {
    const auto connection = bench::openDataSource(dataSource);
    const auto count = connection->query("SELECT count(*) FROM information_schema.tables "
                                         "WHERE table_schema = 'public'");
    for (int i = count.rows.at(0).at(0)->toInt(); i < databaseTables; ++i)
        connection->execute(
            QStringLiteral("CREATE TABLE t%1 (a integer)").arg(i, 5, 10, QChar('0')));
}

std::size_t fetchCatalogue(const QString& dataSource) {
    const auto connection = bench::openDataSource(dataSource);
    const auto catalogue = connection->tables(std::nullopt);
    std::size_t tables = 0;
    while (const auto entry = catalogue->next())
        tables += entry->type && *entry->type == QLatin1String("TABLE");
    return tables;
}

struct Side {
    std::vector<double> load, bare, ratios;

    void add(double loadSeconds, double bareSeconds) {
        load.push_back(loadSeconds);
        bare.push_back(bareSeconds);
        ratios.push_back(loadSeconds / bareSeconds);
    }
    void print(const std::string& name, const std::string& bareName) const {
        bench::print(name + "_load_s", bench::spreadOf(load).median);
        bench::print(name + "_" + bareName + "_s", bench::spreadOf(bare).median);
        bench::print(name + "_load_over_" + bareName, bench::spreadOf(ratios));
    }
};

void expectCount(const char* what, std::size_t got, std::size_t wanted) {
    if (got != wanted)
        bench::fail(std::string(what) + ": " + std::to_string(got) + " entries, expected " +
                    std::to_string(wanted));
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir work;
    const fs::path tree = fs::path(work.path().toStdString()) / "tree";
    const fs::path empty = fs::path(work.path().toStdString()) / "empty";
    fs::create_directories(empty);
    const int tables = writeTree(tree);
    const QString catalogue = bench::dataSourceOf("CATALOGUE");
    ensureDatabaseTables(catalogue);

    bench::QuietDialogs dialogs;
    bench::Settings settings;
    odbc::OdbcOpener opener;
    commands::Runner runner;
    shell::MainWindow window(dialogs, settings, opener, runner);
    window.show();
    const auto load = [&](const fs::path& folder, const QString& dataSource) {
        settings.folder = QString::fromStdString(folder.string());
        settings.dataSource = dataSource;
        return bench::secondsOf([&] { window.load(); });
    };

    Side paradox, database;
    std::vector<double> fixed, peaks;
    walkTree(tree); // the tree in the cache for both sides
    for (int round = 0; round < rounds; ++round) {
        window.controls().paradoxList->clearAll();
        bench::resetPeakRss();
        const double loadSeconds = load(tree, bench::dataSourceOf("SQLITE"));
        peaks.push_back(bench::peakRssMb());
        expectCount("paradoxList", static_cast<std::size_t>(window.controls().paradoxList->count()),
                    tables);
        std::size_t walked = 0;
        paradox.add(loadSeconds, bench::secondsOf([&] { walked = walkTree(tree); }));
        expectCount("the walk", walked, tables);

        fixed.push_back(load(empty, bench::dataSourceOf("SQLITE")));
        const double listSeconds = load(empty, catalogue);
        expectCount("targetList", static_cast<std::size_t>(window.controls().targetList->count()),
                    databaseTables);
        std::size_t fetched = 0;
        database.add(listSeconds, bench::secondsOf([&] { fetched = fetchCatalogue(catalogue); }));
        expectCount("the catalogue", fetched, databaseTables);
    }
    // What the load costs with nothing to list: an empty folder and database.
    bench::print("load_nothing_s", bench::spreadOf(fixed).median, 4);
    bench::print("paradox_tables", tables, 0);
    paradox.print("paradox", "walk");
    // The whole program's peak memory while it fills paradoxList.
    bench::print("paradox_load_peak_rss_mb", bench::spreadOf(peaks).median, 1);
    bench::print("database_tables", databaseTables, 0);
    database.print("database", "fetch");
    return 0;
}
