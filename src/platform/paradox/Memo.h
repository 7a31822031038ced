#pragma once

// The .mb file of a table: memo and BLOB values that do not fit their
// record.

#include "platform/paradox/Source.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace paradox {

class MemoFile {
public:
    // Checks the file; key is the table's encryption key (0 when plain).
    // Throws Error naming the file when it is unreadable or damaged.
    MemoFile(std::unique_ptr<ByteSource> file, std::uint32_t key);

    // The value of `length` bytes that the trailer's locator points at.
    // The view lives in `scratch`.
    std::string_view read(std::uint32_t locator, std::uint32_t length, std::string& scratch);

private:
    void readPlain(std::uint64_t offset, std::size_t n, std::uint8_t* out);
    const std::uint8_t* unitAt(std::uint64_t offset);
    std::string_view readSingle(std::uint64_t offset, std::uint32_t length, std::string& scratch);
    std::string_view readSlot(std::uint64_t offset, unsigned slot, std::uint32_t length,
                              std::string& scratch);
    [[noreturn]] void fail(const std::string& what) const;

    std::unique_ptr<ByteSource> file_;
    std::uint32_t key_;
    std::vector<std::uint8_t> buffer_;
    std::array<std::uint8_t, 4096> cache_{};
    std::uint64_t cachedAt_ = ~std::uint64_t{0};
};

} // namespace paradox
