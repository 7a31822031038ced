#include "platform/paradox/Table.h"

#include "platform/paradox/Bytes.h"
#include "platform/paradox/Crypt.h"
#include "platform/paradox/File.h"
#include "platform/paradox/Lookup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace paradox {

namespace {

constexpr std::int64_t msPerDay = 86400000;
// The years -9999 to 9999; day 0 is 0000-12-31, the day before 0001-01-01.
constexpr std::int64_t firstDay = -3652424; // -9999-01-01
constexpr std::int64_t lastDay = 3652059;   // 9999-12-31

bool isBlob(FieldType type) {
    return type == FieldType::Memo || type == FieldType::BinaryBlob ||
           type == FieldType::FormattedMemo || type == FieldType::Ole || type == FieldType::Graphic;
}

// The integer rule: big-endian with the top bit inverted; 0 is blank.
std::optional<std::int64_t> decodeInteger(const std::uint8_t* p, int n) {
    std::uint64_t u = bytes::be(p, n);
    if (u == 0)
        return std::nullopt;
    const std::uint64_t top = std::uint64_t{1} << (8 * n - 1);
    u ^= top;
    auto v = static_cast<std::int64_t>(u);
    if (u & top)
        v -= static_cast<std::int64_t>(top << 1);
    return v;
}

// The double rule: positive values have the top bit set, negative ones are
// inverted whole; eight zero bytes are blank.
std::optional<double> decodeDouble(const std::uint8_t* p) {
    std::uint64_t u = bytes::be(p, 8);
    if (u == 0)
        return std::nullopt;
    const std::uint64_t top = std::uint64_t{1} << 63;
    u = (u & top) ? (u & ~top) : ~u;
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

// Rounds a string of decimal digits to `keep` significant digits, in place.
void roundDigits(std::string& digits, std::size_t keep) {
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos || digits.size() - first <= keep)
        return;
    const std::size_t cut = first + keep;
    bool carry = digits[cut] >= '5';
    std::fill(digits.begin() + static_cast<std::ptrdiff_t>(cut), digits.end(), '0');
    for (std::size_t i = cut; carry && i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            carry = false;
        }
    }
}

// Byte 0 of 0, or without its bit 6 and with no digits: a blank field (a
// value, even 0, has bit 6 set).
bool isBlankBcd(const std::uint8_t* p) {
    return p[0] == 0 || ((p[0] & 0x40) == 0 &&
                         std::all_of(p + 1, p + 17, [](std::uint8_t b) { return b == 0; }));
}

// A memo's text without the terminators some writers count in its length.
std::string_view withoutTrailingNuls(std::string_view text) {
    const std::size_t end = text.find_last_not_of('\0');
    return text.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

} // namespace

TableFile::TableFile(const std::string& path, TableOptions options)
    : TableFile(
          std::make_unique<File>(path),
          [&path]() -> std::unique_ptr<ByteSource> {
              if (const auto found = findMemoFile(path))
                  return std::make_unique<File>(found->string());
              return nullptr;
          },
          options) {}

TableFile::TableFile(const std::string& path, const std::optional<std::string>& memoPath,
                     TableOptions options)
    : TableFile(
          std::make_unique<File>(path),
          [&memoPath]() -> std::unique_ptr<ByteSource> {
              if (memoPath)
                  return std::make_unique<File>(*memoPath);
              return nullptr;
          },
          options) {}

TableFile::TableFile(std::unique_ptr<ByteSource> data, std::unique_ptr<ByteSource> memo,
                     TableOptions options)
    : TableFile(
          std::move(data), [&memo] { return std::move(memo); }, options) {}

TableFile::TableFile(std::unique_ptr<ByteSource> data, const MemoOpener& openMemo,
                     TableOptions options)
    : file_(std::move(data)), header_(readHeader(*file_)), counts_(readCounts()) {
    warnings_ = header_.warnings;
    chooseCodePage(options);
    buildFields();
    openMemoFile(openMemo);
    walkChain();
    text_.resize(fields_.size());
    raw_.resize(fields_.size());
    block_.resize(header_.blockSize);
    if (!chain_.empty())
        loadBlock(0);
}

void TableFile::fail(const std::string& what) const {
    throw Error(file_->name() + ": " + what);
}

void TableFile::failValue(std::size_t i, const std::string& what) const {
    fail("row " + std::to_string(row_ + 1) + ", field \"" + fields_[i].name + "\": " + what);
}

int TableFile::headerCodePage() const {
    if (header_.storedCodePage != 0)
        return header_.storedCodePage;
    return codePageOfSortOrder(header_.sortOrderName);
}

// Override first, then the header's code page, then the sort order, then the
// default.
void TableFile::chooseCodePage(const TableOptions& options) {
    textAsBytes_ = options.textAsBytes;
    codePage_ = options.codePageOverride;
    if (codePage_ == 0)
        codePage_ = headerCodePage();
    if (codePage_ == 0)
        codePage_ = options.defaultCodePage;
    table_ = findCodePage(codePage_);
    if (!table_)
        warnings_.push_back("code page " + std::to_string(codePage_) +
                            " is not known; only ASCII text can be read");
}

void TableFile::buildFields() {
    for (const FieldLayout& layout : header_.fields) {
        Field field;
        if (textAsBytes_)
            field.name = layout.rawName;
        else if (!appendUtf8(field.name, layout.rawName, table_))
            fail("a field name uses characters of code page " + std::to_string(codePage_) +
                 ", which this reader cannot decode");
        field.type = layout.type;
        field.size = layout.size;
        field.adoType = adoTypeOf(layout.type);
        fields_.push_back(std::move(field));
    }
}

void TableFile::openMemoFile(const MemoOpener& openMemo) {
    const bool needed = std::any_of(header_.fields.begin(), header_.fields.end(),
                                    [](const FieldLayout& f) { return isBlob(f.type); });
    if (!needed)
        return;
    std::unique_ptr<ByteSource> memo = openMemo();
    if (!memo) {
        const std::filesystem::path db(file_->name());
        fail("the memo file " + (db.parent_path() / memoNameOf(db)).string() +
             " is missing; the table's memo and BLOB values cannot be read without it");
    }
    memo_.emplace(std::move(memo), header_.key);
}

std::uint64_t TableFile::blockStart(std::uint16_t number) const {
    return header_.headerSize + std::uint64_t{number - 1u} * header_.blockSize;
}

// Reads (and decrypts) the first `wanted` bytes of a block into block_;
// returns how many bytes are valid.
std::size_t TableFile::readBlock(std::uint16_t number, std::size_t wanted) {
    const std::uint64_t start = blockStart(number);
    std::size_t n = wanted;
    if (header_.encrypted())
        n = (wanted + crypt::ChunkSize - 1) / crypt::ChunkSize * crypt::ChunkSize;
    if (start > file_->size() || n > file_->size() - start)
        fail("the file is truncated: block " + std::to_string(number) + " needs " +
             std::to_string(start + n) + " bytes but the file has " +
             std::to_string(file_->size()));
    file_->readAt(start, block_.data(), n);
    if (header_.encrypted())
        crypt::decryptBlock(block_.data(), n / crypt::ChunkSize, header_.key, number);
    return n;
}

// Checks the header of a block and returns its record count.
std::uint16_t TableFile::countRecords(std::uint16_t number, std::uint16_t& next) {
    readBlock(number, 6);
    const std::string what =
        header_.encrypted() ? " (cannot decrypt: wrong key or damaged file)" : " (damaged file)";
    next = bytes::le16(&block_[0]);
    const int add = static_cast<std::int16_t>(bytes::le16(&block_[4]));
    const int size = header_.recordSize;
    if (add < 0) {
        if (add != -size)
            fail("block " + std::to_string(number) + " has a bad record offset " +
                 std::to_string(add) + what);
        return 0;
    }
    if (add % size != 0 || 6 + add + size > static_cast<int>(header_.blockSize))
        fail("block " + std::to_string(number) + " has a bad record offset " + std::to_string(add) +
             what);
    return static_cast<std::uint16_t>(add / size + 1);
}

// Follows the chain once before any row is read, so the row count is exact
// and a broken chain is found at open.
void TableFile::walkChain() {
    block_.resize(header_.blockSize);
    const std::uint64_t dataBytes = file_->size() - header_.headerSize;
    const std::uint64_t maxBlocks =
        std::min<std::uint64_t>((dataBytes + header_.blockSize - 1) / header_.blockSize, 65535);
    std::vector<bool> visited(maxBlocks + 1, false);
    for (std::uint16_t number = header_.firstBlock; number != 0;) {
        if (number > maxBlocks)
            fail("the block chain points to block " + std::to_string(number) +
                 ", past the end of the file (truncated or damaged file)");
        if (visited[number])
            fail("the block chain runs in a circle at block " + std::to_string(number) +
                 " (damaged file)");
        visited[number] = true;
        std::uint16_t next = 0;
        const std::uint16_t count = countRecords(number, next);
        const std::uint64_t need = 6 + std::uint64_t{count} * header_.recordSize;
        if (blockStart(number) + need > file_->size())
            fail("the file is truncated inside block " + std::to_string(number));
        chain_.push_back({number, count, next});
        total_ += count;
        number = next;
    }
    if (total_ != header_.numRecords)
        warnings_.push_back("the header counts " + std::to_string(header_.numRecords) +
                            " records but the blocks hold " + std::to_string(total_));
    if (chain_.size() != header_.usedBlocks)
        warnings_.push_back("the header counts " + std::to_string(header_.usedBlocks) +
                            " blocks but the chain has " + std::to_string(chain_.size()));
    // Empty blocks hold no rows; skip them once here.
    std::erase_if(chain_, [](const BlockRef& b) { return b.count == 0; });
}

void TableFile::loadBlock(std::size_t chainIndex) {
    const BlockRef& ref = chain_[chainIndex];
    readBlock(ref.number, 6 + std::size_t{ref.count} * header_.recordSize);
    checkUnchanged(ref);
    chainIndex_ = chainIndex;
    inBlock_ = 0;
}

// The record count, block counts and first and last block of the header.
std::array<std::uint8_t, 12> TableFile::readCounts() const {
    std::array<std::uint8_t, 12> counts{};
    file_->readAt(0x06, counts.data(), counts.size());
    return counts;
}

// After a block is read: the file, its header counts and the block's place
// in the chain must be as they were at open, or the rows would mix two
// versions of the table.
void TableFile::checkUnchanged(const BlockRef& ref) const {
    if (file_->changedSinceOpen())
        failChanged("its size or modification time is not what it was");
    if (readCounts() != counts_)
        failChanged("the header counts other records or blocks now");
    const int add = static_cast<std::int16_t>(bytes::le16(&block_[4]));
    if (bytes::le16(&block_[0]) != ref.next || add != (ref.count - 1) * header_.recordSize)
        failChanged("block " + std::to_string(ref.number) + " holds other records now");
}

void TableFile::failChanged(const std::string& what) const {
    fail("the file changed while it was read (" + what + "): it was read up to row " +
         std::to_string(row_) + " only. Read it again when no other program is changing it.");
}

void TableFile::moveNext() {
    if (eof())
        return;
    ++row_;
    if (eof())
        return;
    if (++inBlock_ == chain_[chainIndex_].count)
        loadBlock(chainIndex_ + 1);
}

Value TableFile::value(std::size_t i) {
    if (i >= fields_.size())
        fail("there is no field " + std::to_string(i) + " (the table has " +
             std::to_string(fields_.size()) + ")");
    if (eof())
        fail("there is no current row (end of data)");
    const FieldLayout& layout = header_.fields[i];
    const std::uint8_t* p = block_.data() + 6 + inBlock_ * header_.recordSize + layout.offset;
    return decodeValue(layout, i, p);
}

Value TableFile::textValue(std::size_t i, std::string_view raw) {
    std::string& out = text_[i];
    out.clear();
    if (textAsBytes_)
        out.assign(raw);
    else if (!appendUtf8(out, raw, table_))
        failValue(i, "the text uses characters of code page " + std::to_string(codePage_) +
                         ", which this reader cannot decode");
    Value v;
    v.kind = Value::Kind::Text;
    v.text = out;
    return v;
}

Value TableFile::memoText(std::size_t i, std::string_view raw) {
    return textValue(i, withoutTrailingNuls(raw));
}

Value TableFile::decodeValue(const FieldLayout& layout, std::size_t i, const std::uint8_t* p) {
    Value v;
    using K = Value::Kind;
    switch (layout.type) {
    case FieldType::Alpha: {
        const auto* end = std::find(p, p + layout.width, 0);
        if (end == p)
            return v;
        return textValue(i, std::string_view(reinterpret_cast<const char*>(p),
                                             static_cast<std::size_t>(end - p)));
    }
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoIncrement:
        if (auto n = decodeInteger(p, static_cast<int>(layout.width))) {
            v.kind = K::Integer;
            v.integer = *n;
        }
        return v;
    case FieldType::Date:
        if (auto n = decodeInteger(p, 4)) {
            if (*n < firstDay || *n > lastDay)
                failValue(i, "impossible date (day number " + std::to_string(*n) +
                                 ", outside the years -9999 to 9999)");
            v.kind = K::Date;
            v.integer = *n;
        }
        return v;
    case FieldType::Time:
        if (auto n = decodeInteger(p, 4)) {
            if (*n < 0 || *n >= msPerDay)
                failValue(i, "impossible time (" + std::to_string(*n) + " ms)");
            v.kind = K::Time;
            v.integer = *n;
        }
        return v;
    case FieldType::Money:
    case FieldType::Number:
        if (auto d = decodeDouble(p)) {
            v.kind = K::Double;
            v.number = *d;
        }
        return v;
    case FieldType::Timestamp:
        if (auto d = decodeDouble(p)) {
            // Whole milliseconds first, so that a value rounding past the
            // last day is refused too.
            const double ms = std::round(*d);
            if (!(ms >= static_cast<double>(firstDay * msPerDay) &&
                  ms < static_cast<double>((lastDay + 1) * msPerDay)))
                failValue(i, "impossible timestamp (outside the years -9999 to 9999)");
            v.kind = K::Timestamp;
            v.integer = static_cast<std::int64_t>(ms);
        }
        return v;
    case FieldType::Logical:
        if (*p == 0)
            return v;
        if (*p != 0x80 && *p != 0x81)
            failValue(i, "corrupt logical value " + std::to_string(*p));
        v.kind = K::Boolean;
        v.boolean = *p == 0x81;
        return v;
    case FieldType::Bytes:
        if (std::all_of(p, p + layout.width, [](std::uint8_t b) { return b == 0; }))
            return v;
        v.kind = K::Binary;
        v.text = std::string_view(reinterpret_cast<const char*>(p), layout.width);
        return v;
    case FieldType::Bcd:
        return decodeBcd(layout, i, p);
    case FieldType::Memo:
    case FieldType::BinaryBlob:
    case FieldType::FormattedMemo:
    case FieldType::Ole:
    case FieldType::Graphic:
        return decodeBlob(layout, i, p);
    }
    return v;
}

// 32 digits after a sign-and-decimals byte. Digits are exact unless a nibble
// above 9 shows the writer went through a double; then the digits before it
// are rounded to 15 significant digits.
Value TableFile::decodeBcd(const FieldLayout& layout, std::size_t i, const std::uint8_t* p) {
    Value v;
    if (isBlankBcd(p))
        return v;
    const unsigned decimals = p[0] & 0x3F;
    if (decimals != layout.size)
        failValue(i, "corrupt BCD value (its decimals differ from the field's)");
    const bool negative = (p[0] & 0x80) == 0;
    std::string digits(32, '0');
    bool junk = false;
    for (std::size_t k = 0; k < 32 && !junk; ++k) {
        unsigned nibble = (k % 2 == 0) ? (p[1 + k / 2] >> 4) : (p[1 + k / 2] & 0x0F);
        if (negative)
            nibble = 15 - nibble;
        if (nibble > 9)
            junk = true;
        else
            digits[k] = static_cast<char>('0' + nibble);
    }
    if (junk) {
        roundDigits(digits, 15);
        if (!bcdWarned_)
            warnings_.push_back("field \"" + fields_[i].name +
                                "\" holds BCD digits written from a double; rounded to 15 "
                                "significant digits");
        bcdWarned_ = true;
    }
    std::string intPart = digits.substr(0, 32 - decimals);
    std::string fraction = digits.substr(32 - decimals);
    intPart.erase(0, std::min(intPart.find_first_not_of('0'), intPart.size()));
    if (intPart.empty())
        intPart.assign(1, '0'); // assign, not "=", keeps GCC 12 -O3 from a false -Wrestrict
    fraction.erase(fraction.find_last_not_of('0') + 1);
    std::string& out = text_[i];
    out.clear();
    if (negative && (intPart != "0" || !fraction.empty()))
        out += '-';
    out += intPart;
    if (!fraction.empty())
        out += '.' + fraction;
    v.kind = Value::Kind::Decimal;
    v.text = out;
    return v;
}

Value TableFile::decodeBlob(const FieldLayout& layout, std::size_t i, const std::uint8_t* p) {
    Value v;
    const std::size_t leader = layout.width - 10;
    const std::uint32_t locator = bytes::le32(p + leader);
    const std::uint32_t length = bytes::le32(p + leader + 4);
    if (length == 0)
        return v;
    std::string_view data;
    if (length <= leader) {
        data = std::string_view(reinterpret_cast<const char*>(p), length);
    } else {
        try {
            data = memo_->read(locator, length, raw_[i]);
        } catch (const Error& e) {
            failValue(i, e.what());
        }
    }
    switch (layout.type) {
    case FieldType::Memo:
        return memoText(i, data);
    case FieldType::FormattedMemo: {
        // Seen layout: u32 7, u32 text length with its NUL, the text at 44.
        constexpr std::size_t textAt = 44;
        if (data.size() >= textAt &&
            bytes::le32(reinterpret_cast<const std::uint8_t*>(data.data())) == 7) {
            const std::uint32_t n =
                bytes::le32(reinterpret_cast<const std::uint8_t*>(data.data()) + 4);
            if (n >= 1 && n <= data.size() - textAt && data[textAt + n - 1] == '\0')
                return memoText(i, data.substr(textAt, n - 1));
        }
        failValue(i, "formatted memo of an unknown layout; its text cannot be extracted");
    }
    case FieldType::Graphic: {
        // The image follows an 8-byte prefix: 01 00 00 01 and the image size.
        const auto* q = reinterpret_cast<const std::uint8_t*>(data.data());
        if (data.size() >= 8 && q[0] == 1 && q[1] == 0 && q[2] == 0 && q[3] == 1 &&
            bytes::le32(q + 4) == data.size() - 8)
            data.remove_prefix(8);
        break;
    }
    default:
        break;
    }
    v.kind = Value::Kind::Binary;
    v.text = data;
    return v;
}

} // namespace paradox
