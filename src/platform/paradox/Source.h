#pragma once

// Where the reader gets its bytes: a file on disk (File.h) or a buffer in
// memory, so that damaged tables can be read without writing them out.

#include <cstddef>
#include <cstdint>
#include <string>

namespace paradox {

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Names the source in error messages: the file's path.
    virtual const std::string& name() const = 0;
    virtual std::uint64_t size() const = 0;
    // Reads exactly n bytes at offset; throws Error when the source is shorter.
    virtual void readAt(std::uint64_t offset, void* buffer, std::size_t n) const = 0;
    // True when the source is no longer as it was when opened (another
    // program wrote to it); bytes in memory never change.
    virtual bool changedSinceOpen() const { return false; }
};

// A copy of some bytes, read as if they were the file `name`.
class MemoryBytes final : public ByteSource {
public:
    MemoryBytes(std::string name, std::string bytes);

    const std::string& name() const override { return name_; }
    std::uint64_t size() const override { return bytes_.size(); }
    void readAt(std::uint64_t offset, void* buffer, std::size_t n) const override;

private:
    std::string name_;
    std::string bytes_;
};

// Throws the error for a read of n bytes at offset past the end of source.
[[noreturn]] void failShortRead(const ByteSource& source, std::uint64_t offset, std::size_t n);

} // namespace paradox
