// Tables made with the writer: shapes and values the samples do not cover,
// the statement and connection string, and file lookup.

#include "paradox-writer/ParadoxWriter.h"
#include "platform/paradox/Paradox.h"
#include "platform/paradox/Table.h"
#include "support/DatesAtTheEnds.h"
#include "support/ParadoxTestFiles.h"
#include "transfer/ValueText.h"

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pw = paradox_writer;
using testing_support::readBytes;
using testing_support::TempFolder;

namespace {

std::string text(paradox::TableFile& table, std::size_t i) {
    return transfer::textOf(table.value(i));
}

pw::TableDesign allTypesDesign() {
    pw::TableDesign design;
    design.columns = {
        {"Name", pw::Alpha, 20}, {"Day", pw::Date},       {"Small", pw::Short},
        {"Big", pw::Long},       {"Price", pw::Money},    {"Ratio", pw::Number},
        {"Ok", pw::Logical},     {"Notes", pw::Memo, 30}, {"Raw", pw::BinaryBlob, 10},
        {"At", pw::Time},        {"When", pw::Timestamp}, {"Id", pw::AutoIncrement},
        {"Amount", pw::Bcd, 2},  {"Tag", pw::Bytes, 4},   {"Pic", pw::Graphic, 10},
    };
    return design;
}

pw::Row allTypesRow(std::int64_t n) {
    return {std::string("row ") + std::to_string(n),
            std::int64_t{736695} + n, // 2018-01-01 + n
            std::int64_t{-5} + n,
            std::int64_t{-100000} * n,
            1.25 * static_cast<double>(n),
            -0.5 - static_cast<double>(n),
            n % 2 == 0,
            std::string("memo ") + std::to_string(n),
            std::string("\x00\x01\x02", 3),
            std::int64_t{3601000},
            std::int64_t{737456} * 86400000 + 3601000,
            n + 1,
            std::string("-12.34"),
            std::string("\xDE\xAD\x00\x01", 4),
            std::string("\x01\x00\x00\x01\x02\x00\x00\x00"
                        "BM",
                        10)};
}

} // namespace

TEST(ParadoxTables, EveryTypeRoundTripsAcrossVersionsAndBlockSizes) {
    for (int version : {3, 4, 9, 11, 12})
        for (int kib : {1, 2, 16}) {
            SCOPED_TRACE("version " + std::to_string(version) + ", " + std::to_string(kib) +
                         " KiB");
            TempFolder dir;
            pw::TableDesign design = allTypesDesign();
            design.versionId = version;
            design.blockKiB = kib;
            std::vector<pw::Row> rows;
            for (int n = 0; n < 300; ++n)
                rows.push_back(allTypesRow(n));
            pw::writeTable(dir.file("T.db"), design, rows);

            paradox::TableFile table(dir.file("T.db"));
            ASSERT_EQ(table.recordCount(), 300);
            std::int64_t n = 0;
            for (; !table.eof(); table.moveNext(), ++n) {
                ASSERT_EQ(text(table, 0), "row " + std::to_string(n));
                EXPECT_EQ(table.value(1).integer, 736695 + n);
                EXPECT_EQ(table.value(2).integer, -5 + n);
                EXPECT_EQ(table.value(3).integer, -100000 * n);
                EXPECT_EQ(table.value(4).number, 1.25 * static_cast<double>(n));
                EXPECT_EQ(table.value(5).number, -0.5 - static_cast<double>(n));
                EXPECT_EQ(table.value(6).boolean, n % 2 == 0);
                EXPECT_EQ(text(table, 7), "memo " + std::to_string(n));
                EXPECT_EQ(text(table, 8), "000102");
                EXPECT_EQ(text(table, 9), "01:00:01");
                EXPECT_EQ(text(table, 10), "2020-02-01 01:00:01");
                EXPECT_EQ(table.value(11).integer, n + 1);
                EXPECT_EQ(text(table, 12), "-12.34");
                EXPECT_EQ(text(table, 13), "DEAD0001");
                EXPECT_EQ(text(table, 14), "424D"); // graphic prefix removed
            }
            EXPECT_EQ(n, 300);
            EXPECT_TRUE(table.warnings().empty());
        }
}

TEST(ParadoxTables, ZeroRowsAndExactlyFullBlocks) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"A", pw::Alpha, 100}, {"N", pw::Long}};
    design.blockKiB = 1; // (1024 - 6) / 104 = 9 records a block
    pw::writeTable(dir.file("EMPTY.db"), design, {});
    paradox::TableFile empty(dir.file("EMPTY.db"));
    EXPECT_EQ(empty.recordCount(), 0);
    EXPECT_TRUE(empty.eof());
    EXPECT_THROW(empty.value(0), paradox::Error);

    for (int rows : {9, 18, 19}) {
        std::vector<pw::Row> data;
        for (int i = 0; i < rows; ++i)
            data.push_back({std::string("x"), std::int64_t{i}});
        pw::writeTable(dir.file("FULL.db"), design, data);
        EXPECT_EQ(testing_support::readEveryValue(dir.file("FULL.db")), rows);
        paradox::TableFile table(dir.file("FULL.db"));
        EXPECT_EQ(table.recordCount(), rows);
        std::int64_t last = -1;
        for (; !table.eof(); table.moveNext())
            last = table.value(1).integer;
        EXPECT_EQ(last, rows - 1);
    }
}

TEST(ParadoxTables, BlankFieldsAreNullButZeroAndFalseAreValues) {
    TempFolder dir;
    pw::TableDesign design = allTypesDesign();
    pw::Row blank(design.columns.size());
    pw::Row zeros = {std::monostate{},
                     std::monostate{},
                     std::int64_t{0},
                     std::int64_t{0},
                     0.0,
                     0.0,
                     false,
                     std::monostate{},
                     std::monostate{},
                     std::int64_t{0},
                     std::monostate{},
                     std::monostate{},
                     std::string("0"),
                     std::monostate{},
                     std::monostate{}};
    pw::writeTable(dir.file("T.db"), design, {blank, zeros});
    paradox::TableFile table(dir.file("T.db"));
    for (std::size_t i = 0; i < design.columns.size(); ++i)
        EXPECT_TRUE(table.value(i).isNull()) << design.columns[i].name;
    table.moveNext();
    for (std::size_t i : {2u, 3u, 4u, 5u, 6u, 9u, 12u})
        EXPECT_FALSE(table.value(i).isNull()) << design.columns[i].name;
    EXPECT_EQ(text(table, 6), "False");
    EXPECT_EQ(text(table, 9), "00:00:00");
    EXPECT_EQ(text(table, 12), "0");
}

TEST(ParadoxTables, TextIsDecodedFromTheTablesCodePage) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"Na\xEFve \"quoted\" name", pw::Alpha, 30}, {"M", pw::Memo, 11}};
    design.codePage = 1252;
    pw::writeTable(dir.file("W.db"), design,
                   {{std::string("O'Hara \"Caf\xE9\""), std::string("\x80 5")}});
    paradox::TableFile west(dir.file("W.db"));
    EXPECT_EQ(west.fields()[0].name, "Na\xC3\xAFve \"quoted\" name");
    EXPECT_EQ(text(west, 0), "O'Hara \"Caf\xC3\xA9\"");
    EXPECT_EQ(text(west, 1), "\xE2\x82\xAC 5"); // euro sign

    design.columns[0].name = "N";
    design.codePage = 1251;
    pw::writeTable(dir.file("R.db"), design, {{std::string("\xCC\xE8\xF0"), std::monostate{}}});
    paradox::TableFile russian(dir.file("R.db"));
    EXPECT_EQ(text(russian, 0), "\xD0\x9C\xD0\xB8\xD1\x80"); // Мир

    design.versionId = 3; // no code page in the header: DOS 437
    pw::writeTable(dir.file("D.db"), design, {{std::string("\x81"), std::monostate{}}});
    paradox::TableFile dos(dir.file("D.db"));
    EXPECT_EQ(text(dos, 0), "\xC3\xBC"); // ü
}

TEST(ParadoxTables, UnknownCodePageReadsAsciiAndRefusesOtherBytes) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"N", pw::Alpha, 10}};
    design.codePage = 936;
    design.sortOrder = "china";
    pw::writeTable(dir.file("T.db"), design, {{std::string("plain")}, {std::string("\xC4\xE3")}});
    paradox::TableFile table(dir.file("T.db"));
    EXPECT_EQ(text(table, 0), "plain");
    table.moveNext();
    try {
        (void)table.value(0);
        FAIL() << "a byte of an unknown code page was decoded";
    } catch (const paradox::Error& e) {
        EXPECT_NE(std::string(e.what()).find("code page 936"), std::string::npos) << e.what();
    }
}

TEST(ParadoxTables, MemosInTheRecordInSharedAndInSingleBlocks) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"Id", pw::Long}, {"Memo", pw::Memo, 30}};
    std::vector<pw::Row> rows;
    std::vector<std::string> memos;
    for (int i = 0; i < 400; ++i) {
        // in the record, exactly the leader, shared blocks, single blocks
        const std::size_t len = i % 4 == 0 ? 5 : i % 4 == 1 ? 20 : i % 4 == 2 ? 21 + i : 3000 + i;
        std::string memo;
        for (std::size_t k = 0; k < len; ++k)
            memo += static_cast<char>('a' + (k + static_cast<std::size_t>(i)) % 26);
        memos.push_back(memo);
        rows.push_back({std::int64_t{i}, memo});
    }
    pw::writeTable(dir.file("M.db"), design, rows);
    paradox::TableFile table(dir.file("M.db"));
    for (std::size_t i = 0; !table.eof(); table.moveNext(), ++i)
        ASSERT_EQ(text(table, 1), memos[i]) << "row " << i;
}

TEST(ParadoxTables, EncryptedTableWithMemoFile) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"Id", pw::AutoIncrement}, {"Memo", pw::Memo, 20}};
    design.encryptionKey = 0x1234BEEF;
    std::vector<pw::Row> rows;
    for (int i = 0; i < 500; ++i)
        rows.push_back({std::int64_t{i + 1}, std::string(static_cast<std::size_t>(i * 7), 'q')});
    for (int version : {4, 11}) {
        design.versionId = version;
        pw::writeTable(dir.file("E.db"), design, rows);
        paradox::TableFile table(dir.file("E.db"));
        EXPECT_TRUE(table.header().encrypted());
        ASSERT_EQ(table.recordCount(), 500);
        for (int i = 0; !table.eof(); table.moveNext(), ++i) {
            ASSERT_EQ(table.value(0).integer, i + 1);
            EXPECT_EQ(table.value(1).text.size(), static_cast<std::size_t>(i * 7));
        }
    }
}

TEST(ParadoxTables, BlocksNotTheHeaderCountDecideTheRows) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"N", pw::Long}};
    std::vector<pw::Row> rows(1000, pw::Row{std::int64_t{7}});
    for (std::uint32_t claimed : {0u, 5u, 5000u}) {
        design.headerRecordCount = claimed;
        pw::writeTable(dir.file("T.db"), design, rows);
        paradox::TableFile table(dir.file("T.db"));
        EXPECT_EQ(table.recordCount(), 1000);
        EXPECT_EQ(testing_support::readEveryValue(dir.file("T.db")), 1000);
        EXPECT_FALSE(table.warnings().empty());
    }
}

TEST(ParadoxTables, DatesAndTimestampsOfTheYearsMinus9999To9999) {
    namespace dates = testing_support::dates;
    TempFolder dir;
    std::vector<pw::Row> rows;
    for (const dates::DatedRow& row : dates::atTheEnds())
        rows.push_back(row.cells);
    pw::writeTable(dir.file("T.db"), dates::design(), rows);
    paradox::TableFile table(dir.file("T.db"));
    for (const dates::DatedRow& row : dates::atTheEnds()) {
        ASSERT_FALSE(table.eof());
        EXPECT_EQ(table.value(0).isNull(), row.date == nullptr);
        EXPECT_EQ(text(table, 0), row.date ? row.date : "");
        EXPECT_EQ(text(table, 1), row.stamp ? row.stamp : "");
        table.moveNext();
    }
}

// A value past the range of its type stops the reading at its row, naming
// the file, the row and the field.
TEST(ParadoxTables, DatesTimesAndTimestampsPastTheirRangeAreClearErrors) {
    namespace dates = testing_support::dates;
    TempFolder dir;
    const auto expectRefused = [&](std::size_t column) {
        paradox::TableFile table(dir.file("T.db"));
        EXPECT_NO_THROW(table.value(column));
        table.moveNext();
        try {
            (void)table.value(column);
            ADD_FAILURE() << "read without an error";
        } catch (const paradox::Error& e) {
            const std::string what = e.what();
            const std::string field = table.fields()[column].name;
            for (const std::string& part :
                 {dir.file("T.db"), std::string("row 2, field \"") + field + "\": impossible"})
                EXPECT_NE(what.find(part), std::string::npos) << what;
        }
    };
    for (const dates::PastAnEnd& past : dates::pastTheEnds()) {
        SCOPED_TRACE(past.value);
        pw::writeTable(dir.file("T.db"), dates::design(),
                       {dates::rowWith({past.column, 1}), dates::rowWith(past)});
        expectRefused(past.column);
    }
    pw::TableDesign times;
    times.columns = {{"T", pw::Time}};
    for (const std::int64_t ms : {std::int64_t{-1}, dates::msPerDay}) {
        pw::writeTable(dir.file("T.db"), times, {{std::int64_t{0}}, {ms}});
        expectRefused(0);
    }

    // A quarter millisecond before the end rounds to the first millisecond
    // past it: its bytes go in by hand, the writer takes whole milliseconds.
    pw::writeTable(dir.file("T.db"), dates::design(),
                   {dates::rowWith({1, 0}), dates::rowWith({1, 0})});
    std::string bytes = readBytes(dir.file("T.db"));
    const double nearEnd = static_cast<double>((dates::lastDay + 1) * dates::msPerDay) - 0.25;
    std::uint64_t raw;
    std::memcpy(&raw, &nearEnd, sizeof raw);
    raw |= std::uint64_t{1} << 63;
    const std::size_t second = 0x800 + 6 + 12 + 4;
    for (int k = 0; k < 8; ++k)
        bytes[second + k] = static_cast<char>(raw >> (56 - 8 * k));
    std::ofstream(dir.file("T.db"), std::ios::binary) << bytes;
    expectRefused(1);
}

TEST(ParadoxTables, BcdKeepsEveryDigit) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"A", pw::Bcd, 4}, {"B", pw::Bcd, 0}};
    pw::writeTable(dir.file("T.db"), design,
                   {{std::string("-0.0001"), std::string("9999999999999999999999999999999")},
                    {std::string("12345678901234567890.1200"), std::string("-7")}});
    paradox::TableFile table(dir.file("T.db"));
    EXPECT_EQ(text(table, 0), "-0.0001");
    EXPECT_EQ(text(table, 1), "9999999999999999999999999999999");
    table.moveNext();
    EXPECT_EQ(text(table, 0), "12345678901234567890.12");
    EXPECT_EQ(text(table, 1), "-7");
}

// Byte 0 keeps the decimals but not the bit every value has: blank, without
// the warning about digits written from a double. 0 and -1.5 stay values.
TEST(ParadoxTables, ABcdWithoutItsValueBitIsBlank) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"B", pw::Bcd, 6}};
    pw::writeTable(dir.file("T.db"), design,
                   {{std::string("0")}, {std::string("0")}, {std::string("-1.5")}});
    std::string bytes = readBytes(dir.file("T.db"));
    const std::size_t first = paradox::TableFile(dir.file("T.db")).header().headerSize + 6;
    ASSERT_EQ(static_cast<std::uint8_t>(bytes[first]), 0xC6);
    bytes[first] = 0x06;
    std::ofstream(dir.file("T.db"), std::ios::binary) << bytes;
    paradox::TableFile table(dir.file("T.db"));
    EXPECT_TRUE(table.value(0).isNull());
    table.moveNext();
    EXPECT_EQ(text(table, 0), "0");
    table.moveNext();
    EXPECT_EQ(text(table, 0), "-1.5");
    EXPECT_TRUE(table.warnings().empty());
}

// Writers that count a C string's terminator in a memo's length: the
// trailing NULs go, in the record and in the .mb alike; one inside stays.
TEST(ParadoxTables, MemosEndAtTheirTerminators) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"M", pw::Memo, 30}};
    const std::string inMemoFile = std::string(40, 'x');
    pw::writeTable(dir.file("T.db"), design,
                   {{std::string("blank memo\0", 11)},
                    {inMemoFile + std::string("\0\0", 2)},
                    {std::string("a\0b\0", 4)}});
    paradox::TableFile table(dir.file("T.db"));
    for (const std::string& expected :
         {std::string("blank memo"), inMemoFile, std::string("a\0b", 3)}) {
        EXPECT_EQ(table.value(0).text, expected);
        table.moveNext();
    }
}

TEST(ParadoxTables, FormattedMemoGivesItsPlainText) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"F", pw::FormattedMemo, 10}};
    auto container = [](const std::string& body) {
        std::string v(44, '\0');
        v[0] = 7;
        v[4] = static_cast<char>(body.size() + 1);
        return v + body + std::string("\0Arial\0", 7);
    };
    pw::writeTable(
        dir.file("T.db"), design,
        {{container("Hello")}, {container(std::string("Hi\0", 3))}, {std::string(60, 'x')}});
    paradox::TableFile table(dir.file("T.db"));
    EXPECT_EQ(text(table, 0), "Hello");
    table.moveNext();
    EXPECT_EQ(text(table, 0), "Hi");
    table.moveNext();
    EXPECT_THROW(table.value(0), paradox::Error); // not the known layout
}

// Another program changes the table between two blocks: its size, its
// header's counts, or the chain of blocks (these two with the time stamp put
// back), or all its rows in place, same size, same counts and chain, with a
// new time stamp. The reader stops at the next block, before a row of the
// new version, and says so.
TEST(ParadoxTables, ATableChangedWhileReadStopsAtTheNextBlock) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"N", pw::Long}};
    design.blockKiB = 1; // 254 rows a block
    const std::vector<pw::Row> old(1000, pw::Row{std::int64_t{1}});
    const std::string path = dir.file("T.db");
    const auto patch = [&](std::size_t offset, std::uint8_t byte) {
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(static_cast<std::streamoff>(offset));
        file.put(static_cast<char>(byte));
    };
    const std::vector<std::function<void(std::size_t headerSize)>> changes = {
        [&](std::size_t) {
            pw::writeTable(dir.file("NEW.db"), design,
                           std::vector<pw::Row>(2000, pw::Row{std::int64_t{2}}));
            std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
                << readBytes(dir.file("NEW.db"));
        },
        [&](std::size_t) { patch(0x06, 0x01); },
        [&](std::size_t headerSize) { patch(headerSize + 1024, 4); }, // block 2 skips block 3
        [&](std::size_t) {
            pw::writeTable(dir.file("NEW.db"), design,
                           std::vector<pw::Row>(1000, pw::Row{std::int64_t{2}}));
            std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
                << readBytes(dir.file("NEW.db"));
        },
    };
    for (std::size_t c = 0; c < changes.size(); ++c) {
        pw::writeTable(path, design, old);
        paradox::TableFile table(path);
        struct stat before {};
        ::stat(path.c_str(), &before);
        changes[c](table.header().headerSize);
        if (c > 0) {
            // Put back, or for the rewrite in place surely new to the second.
            timespec times[2] = {before.st_atim, before.st_mtim};
            times[1].tv_sec += c == 3 ? 1 : 0;
            ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        }
        std::int64_t read = 0;
        try {
            for (; !table.eof(); table.moveNext()) {
                ASSERT_EQ(table.value(0).integer, 1) << "change " << c << ", row " << read;
                ++read;
            }
            ADD_FAILURE() << "change " << c << " went unnoticed";
        } catch (const paradox::Error& e) {
            EXPECT_NE(std::string(e.what()).find(path + ": the file changed while it was read"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_EQ(read, 254) << "change " << c; // the first block's rows
    }
}

TEST(ParadoxConnection, FifoNamedLikeATableIsRefusedNotWaitedOn) {
    TempFolder dir;
    ASSERT_EQ(::mkfifo(dir.file("P.db").c_str(), 0600), 0);
    EXPECT_THROW(paradox::TableFile table(dir.file("P.db")), paradox::Error);
}

TEST(ParadoxOpenTable, FindsTheMemoFileIgnoringCaseAndNamesAMissingFile) {
    TempFolder dir;
    pw::TableDesign design;
    design.columns = {{"M", pw::Memo, 11}};
    pw::writeTable(dir.file("orders.DB"), design, {{std::string(100, 'm')}});
    std::filesystem::rename(dir.file("orders.MB"), dir.file("Orders.mB"));
    auto rs = paradox::openTable(dir.path() / "orders.DB");
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.value(0).text, std::string(100, 'm'));
    rs.close();
    EXPECT_THROW(rs.eof(), paradox::Error);
    try {
        paradox::openTable(dir.path() / "missing.db");
        ADD_FAILURE() << "opened a missing table";
    } catch (const paradox::Error& e) {
        EXPECT_NE(std::string(e.what()).find(dir.file("missing.db")), std::string::npos)
            << e.what();
    }
}
