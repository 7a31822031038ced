#include "platform/paradox/File.h"

#include "platform/paradox/Paradox.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace paradox {

File::File(std::string path) : path_(std::move(path)) {
    // O_NONBLOCK so that a FIFO in the folder cannot hang the open; it is
    // refused below, and reads from regular files do not block anyway.
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        throw Error(path_ + ": cannot open the file (" + std::strerror(errno) + ")");
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw Error(path_ + ": not a readable regular file");
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    modified_ = st.st_mtim;
}

bool File::changedSinceOpen() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return false;
    return static_cast<std::uint64_t>(st.st_size) != size_ ||
           st.st_mtim.tv_sec != modified_.tv_sec || st.st_mtim.tv_nsec != modified_.tv_nsec;
}

File::~File() {
    if (fd_ >= 0)
        ::close(fd_);
}

void File::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (offset > size_ || n > size_ - offset)
        failShortRead(*this, offset, n);
    auto* out = static_cast<char*>(buffer);
    while (n > 0) {
        ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw Error(path_ + ": read error (" + std::strerror(errno) + ")");
        if (got == 0)
            throw Error(path_ + ": the file became shorter while it was read");
        out += got;
        offset += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
}

} // namespace paradox
