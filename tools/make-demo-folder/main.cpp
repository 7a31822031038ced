// make-demo-folder <folder>: writes a few demo Paradox tables (CUSTOMER with
// memo notes, ORDERS, ITEMS, and ARCHIVED_ORDERS in the subfolder "archive")
// into the folder. Tables that already exist are left alone. The archived
// table sorts first, so a send of every table copies the folder's own tables
// before it stops at the one that lies in a subfolder.

#include "paradox-writer/ParadoxWriter.h"
#include "platform/paradox/Lookup.h"

#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

namespace fs = std::filesystem;
namespace pw = paradox_writer;

namespace {

constexpr std::int64_t day2023 = 738521; // 2023-01-01
constexpr std::int64_t msPerDay = 86400000;

const char* const lastNames[] = {"Smith",
                                 "O'Brien",
                                 "M\xFCller",
                                 "Garc\xED"
                                 "a",
                                 "Nakamura",
                                 "Dubois",
                                 "Kowalski",
                                 "Svensson",
                                 "Rossi",
                                 "Okafor"};
const char* const firstNames[] = {"Anna",   "Ben",  "Zo\xEB", "Luis",   "Mei",
                                  "Pierre", "Olga", "Nils",   "Giulia", "Chidi"};
const char* const cities[] = {"Springfield", "Rivertown", "Lakeside", "Hillcrest", "Bayview"};
const char* const parts[] = {"BOLT-10", "NUT-10", "GEAR-A", "GEAR-B", "BELT-5", "PUMP-2"};

std::string noteFor(int customer) {
    if (customer % 4 == 0)
        return {}; // no note
    std::string note = "Customer since the spring fair. Prefers delivery before noon.";
    if (customer % 4 == 2)
        for (int i = 0; i < 3; ++i)
            note += "\r\nCall ahead; the loading bay is shared with the bakery next door.";
    if (customer % 7 == 0)
        for (int i = 0; i < 60; ++i)
            note += "\r\nVisit " + std::to_string(i + 1) + ": catalogue handed over, samples left.";
    return note;
}

void writeCustomers(const std::string& path) {
    pw::TableDesign design;
    design.columns = {{"CustNo", pw::AutoIncrement}, {"Last Name", pw::Alpha, 25},
                      {"First Name", pw::Alpha, 20}, {"City", pw::Alpha, 20},
                      {"Since", pw::Date},           {"Balance", pw::Money},
                      {"Notes", pw::Memo, 40}};
    pw::TableWriter writer(path, design);
    for (int i = 1; i <= 40; ++i)
        writer.addRow({std::int64_t{i}, std::string(lastNames[i % 10]),
                       std::string(firstNames[(i * 3) % 10]), std::string(cities[i % 5]),
                       std::int64_t{day2023 - 30 * i}, 12.5 * (i % 9),
                       noteFor(i).empty() ? pw::Cell{} : pw::Cell{noteFor(i)}});
    writer.finish();
}

void writeOrders(const std::string& path, int count, std::int64_t firstDay) {
    pw::TableDesign design;
    design.columns = {{"Order No", pw::Long},     {"CustNo", pw::Long}, {"Sale Date", pw::Date},
                      {"Shipped", pw::Timestamp}, {"Total", pw::Money}, {"Paid", pw::Logical},
                      {"Comment", pw::Memo, 20}};
    pw::TableWriter writer(path, design);
    for (int i = 1; i <= count; ++i) {
        const std::int64_t day = firstDay + i / 3;
        pw::Cell shipped;
        if (i % 5 != 0)
            shipped = std::int64_t{(day + 2) * msPerDay + (8 + i % 9) * 3600000};
        pw::Cell comment;
        if (i % 6 == 1)
            comment = std::string("Rush order, ship with the next truck.");
        writer.addRow({std::int64_t{1000 + i}, std::int64_t{1 + i % 40}, day, shipped,
                       19.99 * (1 + i % 12), i % 4 != 0, comment});
    }
    writer.finish();
}

void writeItems(const std::string& path) {
    pw::TableDesign design;
    design.columns = {{"Order No", pw::Long}, {"Item No", pw::Short}, {"Part No", pw::Alpha, 10},
                      {"Qty", pw::Short},     {"Price", pw::Number},  {"Discount", pw::Bcd, 2}};
    pw::TableWriter writer(path, design);
    for (int order = 1; order <= 120; ++order)
        for (int item = 1; item <= 1 + order % 4; ++item)
            writer.addRow({std::int64_t{1000 + order}, std::int64_t{item},
                           std::string(parts[(order + item) % 6]), std::int64_t{1 + item * 2},
                           2.75 * item, item == 2 ? pw::Cell{std::string("5.50")} : pw::Cell{}});
    writer.finish();
}

// Writes one table unless a table of that name (in any case) is there.
void writeUnlessPresent(const fs::path& folder, const std::string& name,
                        const std::function<void(const std::string&)>& write) {
    fs::create_directories(folder);
    if (paradox::findFileIgnoringCase(folder.string(), name + ".DB")) {
        std::cout << "kept " << (folder / name).string() << " (already there)\n";
        return;
    }
    const std::string path = (folder / (name + ".DB")).string();
    write(path);
    std::cout << "wrote " << path << "\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make-demo-folder <folder>\n";
        return 2;
    }
    const fs::path folder = argv[1];
    try {
        writeUnlessPresent(folder, "CUSTOMER", writeCustomers);
        writeUnlessPresent(folder, "ORDERS",
                           [](const std::string& p) { writeOrders(p, 120, day2023); });
        writeUnlessPresent(folder, "ITEMS", writeItems);
        writeUnlessPresent(folder / "archive", "ARCHIVED_ORDERS",
                           [](const std::string& p) { writeOrders(p, 60, 729755); });
    } catch (const std::exception& e) {
        std::cerr << "make-demo-folder: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
