#include "platform/paradox/Memo.h"

#include "platform/paradox/Bytes.h"
#include "platform/paradox/Crypt.h"
#include "platform/paradox/Paradox.h"

#include <cstring>
#include <utility>

namespace paradox {

namespace {

constexpr std::uint64_t unit = 4096;

} // namespace

MemoFile::MemoFile(std::unique_ptr<ByteSource> file, std::uint32_t key)
    : file_(std::move(file)), key_(key) {
    if (file_->size() < unit)
        fail("too short to be a memo file (" + std::to_string(file_->size()) + " bytes)");
    std::uint8_t head[3];
    readPlain(0, sizeof head, head);
    if (head[0] != 0)
        fail(key_ ? "the memo file does not decrypt with the table's key (damaged file)"
                  : "not a memo file (it does not start with a header block)");
}

void MemoFile::fail(const std::string& what) const {
    throw Error(file_->name() + ": " + what);
}

// Reads n bytes at offset, decrypting the 256-byte chunks that cover them.
void MemoFile::readPlain(std::uint64_t offset, std::size_t n, std::uint8_t* out) {
    if (!key_) {
        file_->readAt(offset, out, n);
        return;
    }
    const std::uint64_t first = offset / crypt::ChunkSize * crypt::ChunkSize;
    const std::uint64_t end =
        (offset + n + crypt::ChunkSize - 1) / crypt::ChunkSize * crypt::ChunkSize;
    if (end > file_->size())
        fail("the memo file ends inside an encrypted chunk (truncated file)");
    buffer_.resize(static_cast<std::size_t>(end - first));
    file_->readAt(first, buffer_.data(), buffer_.size());
    crypt::decryptMemo(buffer_.data(), buffer_.size() / crypt::ChunkSize, key_);
    std::memcpy(out, buffer_.data() + (offset - first), n);
}

// The 4096-byte unit at offset (inside the file), decrypted; the last one
// read is kept, since neighbouring rows share their small values' blocks.
const std::uint8_t* MemoFile::unitAt(std::uint64_t offset) {
    if (cachedAt_ != offset) {
        cachedAt_ = ~std::uint64_t{0};
        readPlain(offset, unit, cache_.data());
        cachedAt_ = offset;
    }
    return cache_.data();
}

std::string_view MemoFile::read(std::uint32_t locator, std::uint32_t length, std::string& scratch) {
    const std::uint64_t offset = locator & 0xFFFFFF00u;
    const unsigned index = locator & 0xFFu;
    if (length > file_->size())
        fail("a value claims " + std::to_string(length) + " bytes, more than the memo file holds");
    if (offset < unit || offset % unit != 0 || offset + unit > file_->size())
        fail("a value points at offset " + std::to_string(offset) +
             ", outside the memo blocks (damaged or out-of-date memo file)");
    const std::uint8_t* head = unitAt(offset);
    if (head[0] == 2)
        return readSingle(offset, length, scratch);
    if (head[0] == 3)
        return readSlot(offset, index, length, scratch);
    fail("a value points at a block of type " + std::to_string(head[0]) +
         " instead of a data block (damaged or out-of-date memo file)");
}

std::string_view MemoFile::readSingle(std::uint64_t offset, std::uint32_t length,
                                      std::string& scratch) {
    const std::uint8_t* head = unitAt(offset);
    const std::uint64_t units = bytes::le16(head + 1);
    const std::uint32_t stored = bytes::le32(head + 3);
    if (stored != length)
        fail("a value's length in the memo file (" + std::to_string(stored) +
             ") differs from its record (" + std::to_string(length) + ")");
    if (9 + static_cast<std::uint64_t>(length) > units * unit ||
        offset + units * unit > file_->size())
        fail("a memo block at offset " + std::to_string(offset) + " runs past its end");
    scratch.resize(length);
    readPlain(offset + 9, length, reinterpret_cast<std::uint8_t*>(scratch.data()));
    return scratch;
}

std::string_view MemoFile::readSlot(std::uint64_t offset, unsigned index, std::uint32_t length,
                                    std::string& scratch) {
    if (index > 63)
        fail("a value names slot " + std::to_string(index) + " of a shared memo block");
    const std::uint8_t* block = unitAt(offset);
    const std::uint8_t* slot = block + 0x0C + 5 * index;
    const unsigned start = slot[0];
    const unsigned chunks = slot[1];
    const unsigned last = slot[4];
    const std::uint64_t size = chunks == 0 ? 0 : (chunks - 1) * 16u + last;
    if (start < 0x15 || last == 0 || last > 16 || chunks == 0)
        fail("a value names an unused or deleted slot of the memo block at offset " +
             std::to_string(offset));
    if (size != length || 16u * start + size > unit)
        fail("a memo slot at offset " + std::to_string(offset) + " does not match its record");
    scratch.assign(reinterpret_cast<const char*>(block) + 16u * start, length);
    return scratch;
}

} // namespace paradox
