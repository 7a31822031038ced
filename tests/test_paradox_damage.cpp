// Damaged tables: every sample truncated at many lengths and with random
// bytes changed, and hand-made faults of each structure. The reader must
// deliver rows or raise paradox::Error naming the file; under the sanitizers
// any out-of-bounds access or undefined behaviour fails the run.

#include "paradox-writer/ParadoxWriter.h"
#include "platform/paradox/Table.h"
#include "support/ParadoxTestFiles.h"

#include <chrono>
#include <gtest/gtest.h>
#include <random>

namespace fs = std::filesystem;
namespace pw = paradox_writer;
using testing_support::readBytes;
using testing_support::readEveryValue;
using testing_support::TempFolder;
using testing_support::writeBytes;

namespace {

const fs::path samples = ORVANDEL_SAMPLES_DIR;

struct SampleTable {
    fs::path db;
    fs::path mb; // empty when the table has none
};

std::vector<SampleTable> sampleTables() {
    std::vector<SampleTable> out;
    if (!fs::is_directory(samples))
        return out;
    for (const auto& entry : fs::recursive_directory_iterator(samples)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".db")
            continue;
        SampleTable t{entry.path(), {}};
        for (const char* mb : {".mb", ".MB"}) {
            fs::path candidate = entry.path();
            candidate.replace_extension(mb);
            if (fs::exists(candidate))
                t.mb = candidate;
        }
        out.push_back(t);
    }
    std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.db < b.db; });
    return out;
}

// Reads the table and accepts rows or a paradox::Error that names the
// file; returns how long it took.
double readOrFail(const std::string& db, const std::string& context) {
    const auto start = std::chrono::steady_clock::now();
    try {
        (void)readEveryValue(db);
    } catch (const paradox::Error& e) {
        const std::string message = e.what();
        // The data file or its memo file, by path: folder and table name.
        const fs::path table = fs::path(db).parent_path() / fs::path(db).stem();
        EXPECT_NE(message.find(table.string()), std::string::npos)
            << context << ": the error does not name the file: " << message;
    } catch (const std::exception& e) {
        ADD_FAILURE() << context << ": unexpected exception " << e.what();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every few bytes through the header, then `count` lengths spread evenly.
std::vector<std::size_t> cutLengths(std::size_t size, std::size_t count) {
    std::vector<std::size_t> out;
    const std::size_t step = std::max<std::size_t>(1, size / count);
    for (std::size_t n = 0; n < size; n += (n < 0x300 ? 5 : step))
        out.push_back(n);
    return out;
}

std::string expectError(const std::string& db) {
    try {
        (void)readEveryValue(db);
    } catch (const paradox::Error& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error for " << db << " (" << fs::file_size(db) << " bytes)";
    return {};
}

void expectContains(const std::string& text, const std::string& part) {
    EXPECT_NE(text.find(part), std::string::npos) << text;
}

} // namespace

TEST(ParadoxDamage, TruncatedSamplesGiveRowsOrAnError) {
    const auto tables = sampleTables();
    if (tables.empty())
        GTEST_SKIP() << "the Paradox samples are not here: " << samples;
    double slowest = 0;
    for (const SampleTable& t : tables) {
        TempFolder dir;
        const std::string db = dir.file(t.db.filename().string());
        const std::string bytes = readBytes(t.db.string());
        std::string mbBytes;
        if (!t.mb.empty()) {
            mbBytes = readBytes(t.mb.string());
            writeBytes(dir.file(t.mb.filename().string()), mbBytes);
        }
        for (std::size_t n : cutLengths(bytes.size(), 150)) {
            writeBytes(db, bytes.substr(0, n));
            slowest = std::max(slowest, readOrFail(db, db + " cut at " + std::to_string(n)));
        }
        writeBytes(db, bytes);
        for (std::size_t n : cutLengths(mbBytes.size(), 30)) {
            writeBytes(dir.file(t.mb.filename().string()), mbBytes.substr(0, n));
            slowest =
                std::max(slowest, readOrFail(db, "memo of " + db + " cut at " + std::to_string(n)));
        }
    }
    std::cout << "slowest damaged read: " << slowest << " s\n";
}

TEST(ParadoxDamage, SamplesWithRandomBytesChangedGiveRowsOrAnError) {
    const auto tables = sampleTables();
    if (tables.empty())
        GTEST_SKIP() << "the Paradox samples are not here: " << samples;
    std::mt19937 random(20240611);
    double slowest = 0;
    for (const SampleTable& t : tables) {
        TempFolder dir;
        const std::string db = dir.file(t.db.filename().string());
        const std::string mbPath = t.mb.empty() ? "" : dir.file(t.mb.filename().string());
        const std::string bytes = readBytes(t.db.string());
        const std::string mbBytes = t.mb.empty() ? "" : readBytes(t.mb.string());
        for (int copy = 0; copy < 60; ++copy) {
            const bool inMemo = !mbBytes.empty() && copy % 3 == 2;
            std::string damaged = inMemo ? mbBytes : bytes;
            // Mostly the header and first block, where the structure is.
            const std::size_t span =
                copy % 2 ? damaged.size() : std::min<std::size_t>(damaged.size(), 0x1000);
            const int changes = 1 + static_cast<int>(random() % 8);
            for (int c = 0; c < changes && span > 0; ++c)
                damaged[random() % span] = static_cast<char>(random());
            writeBytes(db, inMemo ? bytes : damaged);
            if (inMemo)
                writeBytes(mbPath, damaged);
            else if (copy % 3 == 0 && !mbPath.empty())
                writeBytes(mbPath, mbBytes); // undo the last memo change
            slowest = std::max(slowest, readOrFail(db, db + " copy " + std::to_string(copy)));
        }
    }
    std::cout << "slowest damaged read: " << slowest << " s\n";
}

namespace {

// A plain table of three 1 KiB blocks (9 records each) and a memo field.
struct SmallTable {
    TempFolder dir;
    std::string db = dir.file("T.db");
    std::string mb = dir.file("T.mb");
    std::string bytes;

    explicit SmallTable(std::uint32_t key = 0, int version = 12) {
        pw::TableDesign design;
        design.columns = {{"Name", pw::Alpha, 90}, {"Memo", pw::Memo, 14}};
        design.blockKiB = 1;
        design.encryptionKey = key;
        design.versionId = version;
        std::vector<pw::Row> rows;
        for (int i = 0; i < 25; ++i)
            rows.push_back({std::string("name"), std::string(100 + i, 'z')});
        pw::writeTable(db, design, rows);
        bytes = readBytes(db);
    }
    std::size_t headerSize() const {
        return static_cast<unsigned char>(bytes[2]) | (static_cast<unsigned char>(bytes[3]) << 8);
    }
    std::size_t block(int n) const { return headerSize() + static_cast<std::size_t>(n - 1) * 1024; }
    void patch(std::size_t at, std::string raw) {
        std::string damaged = bytes;
        damaged.replace(at, raw.size(), raw);
        writeBytes(db, damaged);
    }
};

} // namespace

TEST(ParadoxDamage, BrokenBlockChainsAreFoundAtOpen) {
    SmallTable t;
    ASSERT_EQ(readEveryValue(t.db), 25);
    t.patch(t.block(2), std::string("\x01\x00", 2)); // block 2 leads back to 1
    expectContains(expectError(t.db), "circle");
    t.patch(t.block(2), std::string("\x09\x00", 2)); // past the end
    expectContains(expectError(t.db), "past the end");
    t.patch(t.block(1) + 4, std::string("\x05\x00", 2)); // not a whole record
    expectContains(expectError(t.db), "bad record offset");
    t.patch(t.block(1) + 4, std::string("\xFE\x7F", 2)); // beyond the block
    expectContains(expectError(t.db), "bad record offset");
    t.patch(0x0E, std::string("\x07\x00", 2)); // first block past the end
    expectContains(expectError(t.db), "past the end");

    writeBytes(t.db, t.bytes.substr(0, t.block(3) + 100)); // last block cut short
    expectContains(expectError(t.db), "truncated");
}

TEST(ParadoxDamage, BadHeadersNameTheFault) {
    SmallTable t;
    t.patch(0x04, std::string("\x01", 1));
    expectContains(expectError(t.db), "index file");
    t.patch(0x39, std::string("\x02", 1));
    expectContains(expectError(t.db), "not a Paradox table");
    t.patch(0x78, std::string("\x07", 1)); // first field's type
    expectContains(expectError(t.db), "unknown type code 0x07");
    t.patch(0x79, std::string("\x50", 1)); // first field's size
    expectContains(expectError(t.db), "the fields take");
    t.patch(0x00, std::string("\x00\x00", 2));
    expectContains(expectError(t.db), "record size");
    t.patch(0x21, std::string("\x00\x01", 2)); // 256 fields
    expectContains(expectError(t.db), "field count");
    t.patch(0x05, std::string("\x00", 1));
    expectContains(expectError(t.db), "block size");
    t.patch(0x02, std::string("\xFF\xFF", 2));
    expectContains(expectError(t.db), "truncated");
    writeBytes(t.db, t.bytes.substr(0, 40));
    expectContains(expectError(t.db), "too short");

    // Field names that never end.
    std::string noNul = t.bytes;
    std::fill(noNul.begin() + 0x78 + 2 * 2 + 4 + 8 + 261, noNul.begin() + 0x800, 'x');
    writeBytes(t.db, noNul);
    expectContains(expectError(t.db), "runs past the end of the header");
}

TEST(ParadoxDamage, MissingOrDamagedMemoFileIsAnErrorNamingIt) {
    SmallTable t;
    const std::string memo = readBytes(t.mb);
    fs::remove(t.mb);
    std::string message = expectError(t.db);
    expectContains(message, "T.mb");
    expectContains(message, "missing");

    std::string damaged = memo;
    damaged[0] = 5;
    writeBytes(t.mb, damaged);
    expectContains(expectError(t.db), "T.mb");

    writeBytes(t.mb, memo.substr(0, 4096)); // the data blocks are gone
    expectContains(expectError(t.db), "T.mb");

    // A record whose trailer claims 4 GB, or points at the header block.
    writeBytes(t.mb, memo);
    const std::size_t trailer = t.block(1) + 6 + 90 + 4;
    t.patch(trailer + 4, std::string("\xFF\xFF\xFF\xFF", 4));
    expectContains(expectError(t.db), "T.mb");
    t.patch(trailer, std::string("\x3F\x00\x00\x00", 4));
    expectContains(expectError(t.db), "T.mb");
    t.patch(trailer, std::string("\x3F\x10\x00\x00\x50\x00\x00\x00", 8)); // wrong length
    expectContains(expectError(t.db), "does not match its record");
}

TEST(ParadoxDamage, EncryptedTableWithAWrongKeyCannotBeDecrypted) {
    for (int version : {4, 11}) {
        SmallTable t(0x0A25E09A, version);
        ASSERT_EQ(readEveryValue(t.db), 25);
        t.patch(version >= 5 ? 0x5C : 0x25, std::string("\x9B\xE0", 2));
        const std::string message = expectError(t.db);
        EXPECT_TRUE(message.find("cannot decrypt") != std::string::npos ||
                    message.find("T.mb") != std::string::npos)
            << message;
    }
}
