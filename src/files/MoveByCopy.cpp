#include "files/MoveByCopy.h"

#include "files/Files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace files {

namespace {

// A file descriptor closed on destruction.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// A temporary file removed on destruction unless it was kept.
class TemporaryPath {
public:
    explicit TemporaryPath(std::string path) : path_(std::move(path)) {}
    TemporaryPath(const TemporaryPath&) = delete;
    TemporaryPath& operator=(const TemporaryPath&) = delete;
    ~TemporaryPath() { ::unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

MoveResult refused(const QString& reason) {
    return {false, reason};
}

QString systemError(const QString& what, int error) {
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies everything from one descriptor to the other; false with errno set.
bool copyContents(int from, int to) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!writeAll(to, buffer.data(), static_cast<std::size_t>(got))) {
            if (errno == 0) {
                errno = ENOSPC;
            }
            return false;
        }
    }
}

// Gives the copy the source's owner and group where the user may (root, or
// a group of the user's), then its mode and times; false with errno set when
// the mode or times cannot be set.
bool copyOwnerModeAndTimes(int fd, const struct stat& source) {
    // Where neither is the user's to give, the copy stays the user's.
    [[maybe_unused]] const bool given = ::fchown(fd, source.st_uid, source.st_gid) == 0 ||
                                        ::fchown(fd, static_cast<uid_t>(-1), source.st_gid) == 0;
    const timespec times[2] = {source.st_atim, source.st_mtim};
    return ::fchmod(fd, source.st_mode & 07777) == 0 && ::futimens(fd, times) == 0;
}

// Puts the finished copy in place; fails when the target exists.
bool moveWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return false;
    }
    // File systems without the flag: a hard link never replaces either.
    return ::link(from.c_str(), to.c_str()) == 0;
}

QString checkNames(const fs::path& source, const fs::path& target) {
    if (const QString reason = checkNewName(source, target); !reason.isEmpty()) {
        return reason;
    }
    if (isTaken(target)) {
        return QStringLiteral("%1 already exists; it was not replaced.").arg(displayPath(target));
    }
    return {};
}

} // namespace

QString checkNewName(const fs::path& source, const fs::path& target) {
    if (target.native().find('\0') != std::string::npos) {
        return QStringLiteral("The new name must not contain a NUL character.");
    }
    if (source.parent_path() != target.parent_path()) {
        return QStringLiteral("The new name must not contain a \"/\".");
    }
    if (displayPath(source).compare(displayPath(target), Qt::CaseInsensitive) == 0) {
        return QStringLiteral("The new name is the same as the old one.");
    }
    return {};
}

bool isTaken(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

MoveResult copyToNewFile(const fs::path& source, const fs::path& target) {
    if (const QString reason = checkNames(source, target); !reason.isEmpty()) {
        return refused(reason);
    }
    const std::string& from = source.native();
    const std::string& to = target.native();
    const Descriptor input(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!input.valid() || ::fstat(input.get(), &status) != 0) {
        return refused(systemError(QStringLiteral("Could not read ") + displayPath(source), errno));
    }
    std::string pattern = (target.parent_path() / ".rename-XXXXXX").native();
    const Descriptor output(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!output.valid()) {
        return refused(systemError(
            QStringLiteral("Could not write in the folder of ") + displayPath(target), errno));
    }
    const TemporaryPath copy(pattern);
    errno = 0;
    if (!copyContents(input.get(), output.get()) || !copyOwnerModeAndTimes(output.get(), status) ||
        ::fsync(output.get()) != 0) {
        return refused(systemError(QStringLiteral("Could not copy ") + displayPath(source), errno));
    }
    if (!moveWithoutReplacing(copy.path(), to)) {
        return refused(
            errno == EEXIST
                ? QStringLiteral("%1 already exists; it was not replaced.").arg(displayPath(target))
                : systemError(QStringLiteral("Could not create ") + displayPath(target), errno));
    }
    return {true, {}};
}

} // namespace files
