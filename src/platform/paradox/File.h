#pragma once

// A read-only file opened for random access; closed on destruction.

#include <cstddef>
#include <cstdint>
#include <string>

namespace paradox {

class File {
public:
    // Throws Error naming the file when it cannot be opened.
    explicit File(std::string path);
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    ~File();

    const std::string& path() const { return path_; }
    std::uint64_t size() const { return size_; }
    // Reads exactly n bytes at offset; throws Error when the file is shorter.
    void readAt(std::uint64_t offset, void* buffer, std::size_t n) const;

private:
    std::string path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

} // namespace paradox
