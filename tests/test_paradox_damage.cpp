// Damaged tables, read from memory: every sample truncated at many lengths
// and with random bytes changed, and hand-made faults of each structure. The
// reader must deliver rows or raise paradox::Error naming the file; under the
// sanitizers any out-of-bounds access or undefined behaviour fails the run.

#include "paradox-writer/ParadoxWriter.h"
#include "platform/paradox/Lookup.h"
#include "platform/paradox/Table.h"
#include "support/ParadoxTestFiles.h"
#include "support/Samples.h"

#include <gtest/gtest.h>
#include <optional>
#include <random>

namespace fs = std::filesystem;
namespace pw = paradox_writer;
using testing_support::readBytes;
using testing_support::readEveryValue;

namespace {

// A table's data file and memo file as bytes, read under their names.
struct TableBytes {
    std::string name; // e.g. "AREACODE"
    std::string db;
    std::optional<std::string> mb;

    std::int64_t read() const {
        auto memo = mb ? std::make_unique<paradox::MemoryBytes>(name + ".mb", *mb) : nullptr;
        return readEveryValue(paradox::TableFile(
            std::make_unique<paradox::MemoryBytes>(name + ".db", db), std::move(memo)));
    }
};

std::vector<TableBytes> sampleTables() {
    std::vector<TableBytes> out;
    if (!fs::is_directory(testing_support::samplesFolder()))
        return out;
    for (const auto& entry : fs::recursive_directory_iterator(testing_support::samplesFolder())) {
        const fs::path db = entry.path();
        if (db.extension() != ".db" && db.extension() != ".DB")
            continue;
        TableBytes t{db.stem().string(), readBytes(db.string()), std::nullopt};
        if (const auto mb = paradox::findMemoFile(db))
            t.mb = readBytes(mb->string());
        out.push_back(std::move(t));
    }
    return out;
}

// Accepts rows, or a paradox::Error that names the table.
void expectRowsOrError(const TableBytes& t, const std::string& context) {
    try {
        (void)t.read();
    } catch (const paradox::Error& e) {
        EXPECT_NE(std::string(e.what()).find(t.name + "."), std::string::npos)
            << context << ": the error does not name the file: " << e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << context << ": unexpected exception " << e.what();
    }
}

// Every few bytes through the header, then `count` lengths spread evenly.
std::vector<std::size_t> cutLengths(std::size_t size, std::size_t count) {
    std::vector<std::size_t> out;
    const std::size_t step = std::max<std::size_t>(1, size / count);
    for (std::size_t n = 0; n < size; n += (n < 0x300 ? 5 : step))
        out.push_back(n);
    return out;
}

// The error message, which must name the file and contain `part`.
void expectError(const TableBytes& t, const std::string& part) {
    try {
        (void)t.read();
        ADD_FAILURE() << "no error for " << t.name << " (" << t.db.size() << " bytes)";
    } catch (const paradox::Error& e) {
        EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(t.name + "."), std::string::npos) << e.what();
    }
}

} // namespace

TEST(ParadoxDamage, TruncatedSamplesGiveRowsOrAnError) {
    const auto tables = sampleTables();
    if (tables.empty())
        GTEST_SKIP() << "the Paradox samples are not here";
    for (const TableBytes& t : tables) {
        for (std::size_t n : cutLengths(t.db.size(), 150))
            expectRowsOrError({t.name, t.db.substr(0, n), t.mb},
                              t.name + " cut at " + std::to_string(n));
        for (std::size_t n : cutLengths(t.mb.value_or("").size(), 30))
            expectRowsOrError({t.name, t.db, t.mb->substr(0, n)},
                              "memo of " + t.name + " cut at " + std::to_string(n));
    }
}

TEST(ParadoxDamage, SamplesWithRandomBytesChangedGiveRowsOrAnError) {
    const auto tables = sampleTables();
    if (tables.empty())
        GTEST_SKIP() << "the Paradox samples are not here";
    std::mt19937 random(20240611);
    for (const TableBytes& t : tables) {
        for (int copy = 0; copy < 60; ++copy) {
            TableBytes damaged = t;
            std::string& bytes = t.mb && copy % 3 == 2 ? *damaged.mb : damaged.db;
            // Mostly the header and first block, where the structure is.
            const std::size_t span =
                copy % 2 ? bytes.size() : std::min<std::size_t>(bytes.size(), 0x1000);
            const int changes = 1 + static_cast<int>(random() % 8);
            for (int c = 0; c < changes && span > 0; ++c)
                bytes[random() % span] = static_cast<char>(random());
            expectRowsOrError(damaged, t.name + " copy " + std::to_string(copy));
        }
    }
}

namespace {

// A plain table of three 1 KiB blocks (9 records each) and a memo field.
struct SmallTable : TableBytes {
    explicit SmallTable(std::uint32_t key = 0, int version = 12) {
        pw::TableDesign design;
        design.columns = {{"Name", pw::Alpha, 90}, {"Memo", pw::Memo, 14}};
        design.blockKiB = 1;
        design.encryptionKey = key;
        design.versionId = version;
        std::vector<pw::Row> rows;
        for (int i = 0; i < 25; ++i)
            rows.push_back({std::string("name"), std::string(100 + i, 'z')});
        testing_support::TempFolder dir;
        pw::writeTable(dir.file("T.db"), design, rows);
        static_cast<TableBytes&>(*this) = {"T", readBytes(dir.file("T.db")),
                                           readBytes(dir.file("T.mb"))};
    }
    std::size_t block(int n) const {
        const std::size_t headerSize =
            static_cast<unsigned char>(db[2]) | (static_cast<unsigned char>(db[3]) << 8);
        return headerSize + static_cast<std::size_t>(n - 1) * 1024;
    }
    // A copy with raw written at `at` of the data file.
    TableBytes patched(std::size_t at, const std::string& raw) const {
        TableBytes copy = *this;
        copy.db.replace(at, raw.size(), raw);
        return copy;
    }
    TableBytes withMemo(std::optional<std::string> memo) const {
        return {name, db, std::move(memo)};
    }
};

std::string raw(const char* bytes, std::size_t n) {
    return {bytes, n};
}

} // namespace

TEST(ParadoxDamage, BrokenBlockChainsAreFoundAtOpen) {
    const SmallTable t;
    ASSERT_EQ(t.read(), 25);
    expectError(t.patched(t.block(2), raw("\x01\x00", 2)), "circle"); // back to block 1
    expectError(t.patched(t.block(2), raw("\x09\x00", 2)), "past the end");
    expectError(t.patched(t.block(1) + 4, raw("\x05\x00", 2)), "bad record offset"); // part record
    expectError(t.patched(t.block(1) + 4, raw("\xFE\x7F", 2)), "bad record offset"); // beyond block
    expectError(t.patched(0x0E, raw("\x07\x00", 2)), "past the end");                // first block
    expectError({t.name, t.db.substr(0, t.block(3) + 100), t.mb}, "truncated"); // last block short
}

TEST(ParadoxDamage, BadHeadersNameTheFault) {
    const SmallTable t;
    expectError(t.patched(0x04, raw("\x01", 1)), "index file");
    expectError(t.patched(0x39, raw("\x02", 1)), "not a Paradox table");
    expectError(t.patched(0x78, raw("\x07", 1)), "unknown type code 0x07"); // first field's type
    expectError(t.patched(0x79, raw("\x50", 1)), "the fields take");        // first field's size
    expectError(t.patched(0x00, raw("\x00\x00", 2)), "record size");
    expectError(t.patched(0x21, raw("\x00\x01", 2)), "field count"); // 256 fields
    expectError(t.patched(0x05, raw("\x00", 1)), "block size");
    expectError(t.patched(0x02, raw("\xFF\xFF", 2)), "truncated");
    expectError({t.name, t.db.substr(0, 40), t.mb}, "too short");
    // Field names that never end.
    const std::size_t names = 0x78 + 2 * 2 + 4 + 8 + 261;
    expectError(t.patched(names, std::string(0x800 - names, 'x')),
                "runs past the end of the header");
}

TEST(ParadoxDamage, MissingOrDamagedMemoFileIsAnErrorNamingIt) {
    const SmallTable t;
    expectError(t.withMemo(std::nullopt), "T.mb is missing");
    std::string damaged = *t.mb;
    damaged[0] = 5;
    expectError(t.withMemo(damaged), "T.mb");
    expectError(t.withMemo(t.mb->substr(0, 4096)), "T.mb"); // the data blocks are gone

    // A record whose trailer claims 4 GB, or points at the header block.
    const std::size_t trailer = t.block(1) + 6 + 90 + 4;
    expectError(t.patched(trailer + 4, raw("\xFF\xFF\xFF\xFF", 4)), "T.mb");
    expectError(t.patched(trailer, raw("\x3F\x00\x00\x00", 4)), "T.mb");
    expectError(t.patched(trailer, raw("\x3F\x10\x00\x00\x50\x00\x00\x00", 8)),
                "does not match its record"); // wrong length
}

TEST(ParadoxDamage, EncryptedTableWithAWrongKeyCannotBeDecrypted) {
    for (int version : {4, 11}) {
        const SmallTable t(0x0A25E09A, version);
        ASSERT_EQ(t.read(), 25);
        // The records or the memo file do not decrypt.
        expectError(t.patched(version >= 5 ? 0x5C : 0x25, raw("\x9B\xE0", 2)), "decrypt");
    }
}
