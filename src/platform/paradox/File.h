#pragma once

// A read-only file opened for random access; closed on destruction.

#include "platform/paradox/Source.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <time.h>

namespace paradox {

class File final : public ByteSource {
public:
    // Throws Error naming the file when it cannot be opened.
    explicit File(std::string path);
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() override;

    const std::string& name() const override { return path_; }
    std::uint64_t size() const override { return size_; }
    void readAt(std::uint64_t offset, void* buffer, std::size_t n) const override;
    // Its size or modification time differs from those at open.
    bool changedSinceOpen() const override;

private:
    std::string path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    timespec modified_{};
};

} // namespace paradox
