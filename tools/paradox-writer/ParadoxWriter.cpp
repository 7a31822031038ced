#include "paradox-writer/ParadoxWriter.h"

#include "platform/paradox/Crypt.h"

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace paradox_writer {

namespace {

constexpr std::size_t mbUnit = 4096;

void put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

void putBig(std::uint8_t* p, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i, v >>= 8)
        p[i] = static_cast<std::uint8_t>(v);
}

bool isBlob(TypeCode t) {
    return t == Memo || t == BinaryBlob || t == FormattedMemo || t == Ole || t == Graphic;
}

// The inverse of the reader's chunk decryption.
void encryptChunk(std::uint8_t* chunk, std::uint8_t a, std::uint8_t b, std::uint8_t c,
                  std::uint8_t d) {
    const auto& A = paradox::crypt::tableA();
    const auto& B = paradox::crypt::tableB();
    const auto& C = paradox::crypt::tableC();
    std::array<std::uint8_t, 256> plain;
    std::memcpy(plain.data(), chunk, 256);
    for (unsigned x = 0; x < 256; ++x) {
        const auto y = static_cast<std::uint8_t>(C[x] - d);
        chunk[y] = plain[x] ^ A[(x + a) & 0xFF] ^ B[(y + b) & 0xFF] ^ C[(y + c) & 0xFF];
    }
}

class OutFile {
public:
    explicit OutFile(const std::string& path) : path_(path), f_(std::fopen(path.c_str(), "wb")) {
        if (!f_)
            throw WriteError(path + ": cannot create the file");
    }
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;
    ~OutFile() {
        if (f_)
            std::fclose(f_);
    }
    void writeAt(std::uint64_t offset, const void* data, std::size_t n) {
        if (std::fseek(f_, static_cast<long>(offset), SEEK_SET) != 0 ||
            std::fwrite(data, 1, n, f_) != n)
            throw WriteError(path_ + ": write failed");
    }
    void close() {
        if (f_ && std::fclose(f_) != 0) {
            f_ = nullptr;
            throw WriteError(path_ + ": write failed");
        }
        f_ = nullptr;
    }

private:
    std::string path_;
    std::FILE* f_;
};

// The memo file: a header block, then shared blocks for small values and
// single blocks for large ones.
class MemoWriter {
public:
    MemoWriter(const std::string& path, std::uint32_t key) : out_(path), key_(key) {
        std::vector<std::uint8_t> head(mbUnit, 0);
        const std::uint8_t fixed[] = {0x00, 0x01, 0x00, 0x01, 0x00, 0x82, 0x73,
                                      0x02, 0x00, 0x29, 0x00, 0x00, 0x10, 0x00,
                                      0x10, 0x00, 0x10, 0x40, 0x00, 0x00, 0x08};
        std::memcpy(head.data(), fixed, sizeof fixed);
        append(head);
    }

    // Stores a value and returns its locator.
    std::uint32_t store(const std::string& value) {
        if (value.size() > 0x800)
            return storeSingle(value);
        return storeShared(value);
    }

    void finish() {
        flushShared();
        out_.close();
    }

private:
    void append(std::vector<std::uint8_t>& data) {
        if (key_) {
            const auto a = static_cast<std::uint8_t>(key_);
            const auto b = static_cast<std::uint8_t>(key_ >> 8);
            for (std::size_t i = 0; i < data.size(); i += 256)
                encryptChunk(&data[i], a, b, static_cast<std::uint8_t>(a + 1),
                             static_cast<std::uint8_t>(b + 1));
        }
        out_.writeAt(size_, data.data(), data.size());
        size_ += data.size();
    }

    std::uint32_t storeSingle(const std::string& value) {
        const std::size_t units = (9 + value.size() + mbUnit - 1) / mbUnit;
        std::vector<std::uint8_t> block(units * mbUnit, 0);
        block[0] = 2;
        put16(&block[1], static_cast<std::uint32_t>(units));
        put32(&block[3], static_cast<std::uint32_t>(value.size()));
        put16(&block[7], 1);
        std::memcpy(&block[9], value.data(), value.size());
        const auto at = static_cast<std::uint32_t>(size_);
        append(block);
        return at | 0xFF;
    }

    std::uint32_t storeShared(const std::string& value) {
        const std::size_t chunks = (value.size() + 15) / 16;
        if (shared_.empty() || nextSlot_ < 0 || nextChunk_ + chunks > mbUnit / 16)
            startShared();
        const int slot = nextSlot_--;
        std::uint8_t* entry = &shared_[0x0C + 5 * slot];
        entry[0] = static_cast<std::uint8_t>(nextChunk_);
        entry[1] = static_cast<std::uint8_t>(chunks);
        put16(entry + 2, 1);
        entry[4] = static_cast<std::uint8_t>(value.size() - (chunks - 1) * 16);
        std::memcpy(&shared_[nextChunk_ * 16], value.data(), value.size());
        nextChunk_ += chunks;
        return sharedAt_ | static_cast<std::uint32_t>(slot);
    }

    void startShared() {
        flushShared();
        shared_.assign(mbUnit, 0);
        shared_[0] = 3;
        put16(&shared_[1], 1);
        sharedAt_ = static_cast<std::uint32_t>(size_);
        size_ += mbUnit; // reserved; written when full
        nextSlot_ = 63;
        nextChunk_ = 0x15;
    }

    void flushShared() {
        if (shared_.empty())
            return;
        const std::uint64_t end = size_;
        size_ = sharedAt_;
        append(shared_);
        size_ = end;
        shared_.clear();
    }

    OutFile out_;
    std::uint32_t key_;
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> shared_;
    std::uint32_t sharedAt_ = 0;
    int nextSlot_ = -1;
    std::size_t nextChunk_ = 0;
};

std::vector<std::uint8_t> encodeBcd(const std::string& text, unsigned decimals) {
    std::vector<std::uint8_t> out(17, 0);
    bool negative = !text.empty() && text[0] == '-';
    std::string digits = text.substr(negative ? 1 : 0);
    const std::size_t point = digits.find('.');
    std::string intPart = digits.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : digits.substr(point + 1);
    fraction.resize(decimals, '0');
    std::string all = intPart + fraction;
    if (all.size() > 32)
        throw WriteError("BCD value " + text + " has too many digits");
    all.insert(0, 32 - all.size(), '0');
    out[0] = static_cast<std::uint8_t>((negative ? 0x40 : 0xC0) | decimals);
    for (std::size_t k = 0; k < 32; ++k) {
        unsigned nibble = static_cast<unsigned>(all[k] - '0');
        if (negative)
            nibble = 15 - nibble;
        out[1 + k / 2] |= static_cast<std::uint8_t>(k % 2 == 0 ? nibble << 4 : nibble);
    }
    return out;
}

std::uint64_t encodeDouble(double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    const std::uint64_t top = std::uint64_t{1} << 63;
    return (u & top) ? ~u : (u | top);
}

} // namespace

std::size_t widthOf(const Column& column) {
    switch (column.type) {
    case Date:
    case Long:
    case Time:
    case AutoIncrement:
        return 4;
    case Short:
        return 2;
    case Money:
    case Number:
    case Timestamp:
        return 8;
    case Logical:
        return 1;
    case Bcd:
        return 17;
    default:
        return column.size;
    }
}

struct TableWriter::Impl {
    std::string path;
    TableDesign design;
    OutFile out;
    std::optional<MemoWriter> memo;
    std::size_t recordSize = 0;
    std::size_t headerSize = 0;
    std::size_t blockSize = 0;
    std::size_t perBlock = 0;
    std::vector<std::uint8_t> block;
    std::size_t inBlock = 0;
    std::uint32_t blocks = 0;
    std::uint32_t records = 0;
    std::int64_t lastAutoInc = 0;
    bool finished = false;

    Impl(std::string p, TableDesign s) : path(std::move(p)), design(std::move(s)), out(path) {
        if (design.columns.empty() || design.columns.size() > 255)
            throw WriteError("a table needs 1 to 255 columns");
        for (const Column& c : design.columns)
            recordSize += widthOf(c);
        blockSize = static_cast<std::size_t>(design.blockKiB) * 1024;
        perBlock = (blockSize - 6) / recordSize;
        if (perBlock == 0)
            throw WriteError("records do not fit a block");
        block.assign(blockSize, 0);
        headerSize = buildHeader().size();
        for (const Column& c : design.columns)
            if (isBlob(c.type)) {
                std::filesystem::path mb(path);
                mb.replace_extension(
                    std::filesystem::path(path).extension().string() == ".DB" ? ".MB" : ".mb");
                memo.emplace(mb.string(), design.encryptionKey);
                break;
            }
    }

    bool v4() const { return design.versionId >= 5; }

    std::vector<std::uint8_t> buildHeader() const {
        const std::size_t n = design.columns.size();
        std::vector<std::uint8_t> h(v4() ? 0x78 : 0x58, 0);
        for (const Column& c : design.columns) {
            h.push_back(c.type);
            h.push_back(c.type == Bcd ? c.size : static_cast<std::uint8_t>(widthOf(c)));
        }
        h.resize(h.size() + 4 + 4 * n, 0);
        std::string tableName = std::filesystem::path(path).filename().string();
        tableName.resize(design.versionId >= 12 ? 261 : 79, '\0');
        h.insert(h.end(), tableName.begin(), tableName.end());
        for (const Column& c : design.columns) {
            h.insert(h.end(), c.name.begin(), c.name.end());
            h.push_back(0);
        }
        std::size_t realEnd = 0;
        if (v4()) {
            for (std::size_t i = 0; i < n; ++i) {
                h.push_back(static_cast<std::uint8_t>(i + 1));
                h.push_back(0);
            }
            h.insert(h.end(), design.sortOrder.begin(), design.sortOrder.end());
            h.push_back(0);
            realEnd = h.size();
        }
        if (design.versionId != 3)
            h.resize((h.size() + 0x7FF) / 0x800 * 0x800, 0);
        put16(&h[0x00], static_cast<std::uint32_t>(recordSize));
        put16(&h[0x02], static_cast<std::uint32_t>(h.size()));
        h[0x04] = 2;
        h[0x05] = static_cast<std::uint8_t>(design.blockKiB);
        put16(&h[0x21], static_cast<std::uint32_t>(n));
        h[0x39] = static_cast<std::uint8_t>(design.versionId);
        put16(&h[0x3E], design.encryptionKey ? 0 : 0x0F1F);
        if (v4()) {
            put32(&h[0x25], 0xFF00FF00);
            put16(&h[0x51], static_cast<std::uint32_t>(realEnd));
            h[0x56] = 0x20;
            put16(&h[0x58], 0x0100 + static_cast<std::uint32_t>(design.versionId));
            put16(&h[0x5A], 0x0100 + static_cast<std::uint32_t>(design.versionId));
            put32(&h[0x5C], design.encryptionKey);
            put16(&h[0x64], static_cast<std::uint32_t>(n + 1));
            put16(&h[0x6A], static_cast<std::uint32_t>(design.codePage));
            h[0x6C] = 1;
            h[0x6D] = 1;
        } else {
            put32(&h[0x25], design.encryptionKey);
        }
        return h;
    }

    void encodeCell(const Column& c, const Cell& cell, std::uint8_t* p) {
        if (std::holds_alternative<std::monostate>(cell))
            return;
        const std::size_t width = widthOf(c);
        switch (c.type) {
        case Short:
        case Long:
        case AutoIncrement:
        case Date:
        case Time: {
            const auto v = std::get<std::int64_t>(cell);
            // The lowest value of the width would be stored as all zeros,
            // which reads as blank.
            const std::int64_t limit = std::int64_t{1} << (8 * width - 1);
            if (v <= -limit || v >= limit)
                throw WriteError("value " + std::to_string(v) + " does not fit column " + c.name);
            if (c.type == AutoIncrement)
                lastAutoInc = std::max(lastAutoInc, v);
            const std::uint64_t top = std::uint64_t{1} << (8 * width - 1);
            putBig(p, static_cast<std::uint64_t>(v) ^ top, static_cast<int>(width));
            return;
        }
        case Money:
        case Number:
            putBig(p, encodeDouble(std::get<double>(cell)), 8);
            return;
        case Timestamp:
            putBig(p, encodeDouble(static_cast<double>(std::get<std::int64_t>(cell))), 8);
            return;
        case Logical:
            *p = std::get<bool>(cell) ? 0x81 : 0x80;
            return;
        case Bcd: {
            const auto bcd = encodeBcd(std::get<std::string>(cell), c.size);
            std::memcpy(p, bcd.data(), bcd.size());
            return;
        }
        case Alpha:
        case Bytes: {
            const auto& s = std::get<std::string>(cell);
            if (s.size() > width)
                throw WriteError("value longer than column " + c.name);
            std::memcpy(p, s.data(), s.size());
            return;
        }
        default:
            encodeBlob(c, std::get<std::string>(cell), p);
        }
    }

    void encodeBlob(const Column& c, const std::string& value, std::uint8_t* p) {
        const std::size_t leader = widthOf(c) - 10;
        std::uint32_t locator = 0;
        if (value.size() > leader)
            locator = memo->store(value);
        std::memcpy(p, value.data(), std::min(leader, value.size()));
        put32(p + leader, locator);
        put32(p + leader + 4, static_cast<std::uint32_t>(value.size()));
        put16(p + leader + 8, value.size() > leader ? 1 : 0);
    }

    void addRow(const Row& row) {
        if (row.size() != design.columns.size())
            throw WriteError("row has " + std::to_string(row.size()) + " cells for " +
                             std::to_string(design.columns.size()) + " columns");
        if (inBlock == perBlock)
            flushBlock(false);
        std::uint8_t* record = &block[6 + inBlock * recordSize];
        std::memset(record, 0, recordSize);
        std::size_t offset = 0;
        for (std::size_t i = 0; i < row.size(); ++i) {
            encodeCell(design.columns[i], row[i], record + offset);
            offset += widthOf(design.columns[i]);
        }
        ++inBlock;
        ++records;
    }

    // Writes the current block; `last` ends the chain there.
    void flushBlock(bool last) {
        if (inBlock == 0)
            return;
        const std::uint32_t number = ++blocks;
        put16(&block[0], last ? 0 : number + 1);
        put16(&block[2], number - 1);
        put16(&block[4], static_cast<std::uint32_t>((inBlock - 1) * recordSize));
        std::vector<std::uint8_t> bytes(block);
        if (design.encryptionKey)
            for (std::size_t i = 0; i < blockSize; i += 256)
                encryptChunk(&bytes[i], static_cast<std::uint8_t>(design.encryptionKey),
                             static_cast<std::uint8_t>(design.encryptionKey >> 8),
                             static_cast<std::uint8_t>(i / 256), static_cast<std::uint8_t>(number));
        out.writeAt(headerSize + std::uint64_t{number - 1} * blockSize, bytes.data(), blockSize);
        std::fill(block.begin(), block.end(), 0);
        inBlock = 0;
    }

    void finish() {
        flushBlock(true);
        std::vector<std::uint8_t> h = buildHeader();
        put32(&h[0x06], design.headerRecordCount.value_or(records));
        put16(&h[0x0A], blocks);
        put16(&h[0x0C], blocks);
        put16(&h[0x0E], blocks ? 1 : 0);
        put16(&h[0x10], blocks);
        put16(&h[0x3A], blocks);
        put32(&h[0x49], static_cast<std::uint32_t>(lastAutoInc));
        out.writeAt(0, h.data(), h.size());
        out.close();
        if (memo)
            memo->finish();
        finished = true;
    }
};

TableWriter::TableWriter(std::string path, TableDesign design)
    : impl_(std::make_unique<Impl>(std::move(path), std::move(design))) {}

TableWriter::~TableWriter() = default;

void TableWriter::addRow(const Row& row) {
    impl_->addRow(row);
}

void TableWriter::finish() {
    if (!impl_->finished)
        impl_->finish();
}

void writeTable(const std::string& path, const TableDesign& design, const std::vector<Row>& rows) {
    TableWriter writer(path, design);
    for (const Row& row : rows)
        writer.addRow(row);
    writer.finish();
}

} // namespace paradox_writer
