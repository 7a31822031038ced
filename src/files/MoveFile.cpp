#include "files/MoveFile.h"

#include "files/Files.h"
#include "files/MoveByCopy.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace files {

namespace {

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

FileMove failed(MoveWay way, const QString& reason) {
    return {false, way, reason};
}

QString existsText(const fs::path& target) {
    return QStringLiteral("%1 already exists; it was not replaced.").arg(displayPath(target));
}

QString notMovedText(const fs::path& source, const fs::path& target, int error) {
    return QStringLiteral("%1 could not be renamed to %2: %3.")
        .arg(displayPath(source), displayPath(target), errorText(error));
}

// renameat2 says so when the file system does not know RENAME_NOREPLACE.
bool flagUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// link says so when the file system has no hard links (or not across here).
bool linksRefused(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == EXDEV || error == ENOSYS ||
           error == EMLINK;
}

// With the new name in place, the old one goes; when it cannot, the new
// name goes again, so that the file keeps one name.
FileMove removeOldName(const fs::path& source, const fs::path& target, MoveWay way) {
    if (::unlink(source.c_str()) == 0) {
        return {true, way, {}};
    }
    const int error = errno;
    QString text =
        QStringLiteral("%1 could not be deleted (%2)").arg(displayPath(source), errorText(error));
    if (::unlink(target.c_str()) != 0) {
        text += QStringLiteral(", and its new name %1 could not be removed either")
                    .arg(displayPath(target));
    }
    return failed(way, text + QLatin1Char('.'));
}

FileMove moveByCopying(const fs::path& source, const fs::path& target) {
    const MoveResult copy = copyToNewFile(source, target);
    if (!copy.moved) {
        return failed(MoveWay::Copy, copy.reason);
    }
    return removeOldName(source, target, MoveWay::Copy);
}

FileMove moveByLinking(const fs::path& source, const fs::path& target) {
    if (::link(source.c_str(), target.c_str()) == 0) {
        return removeOldName(source, target, MoveWay::Link);
    }
    const int error = errno;
    if (linksRefused(error)) {
        return moveByCopying(source, target);
    }
    return failed(MoveWay::Link,
                  error == EEXIST ? existsText(target) : notMovedText(source, target, error));
}

FileMove moveByRenaming(const fs::path& source, const fs::path& target) {
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return {true, MoveWay::Rename, {}};
    }
    const int error = errno;
    if (flagUnsupported(error)) {
        return moveByLinking(source, target);
    }
    return failed(MoveWay::Rename,
                  error == EEXIST ? existsText(target) : notMovedText(source, target, error));
}

} // namespace

FileMove moveFile(const fs::path& source, const fs::path& target, MoveWay first) {
    if (const QString reason = checkNewName(source, target); !reason.isEmpty()) {
        return failed(first, reason);
    }
    switch (first) {
    case MoveWay::Rename:
        return moveByRenaming(source, target);
    case MoveWay::Link:
        return moveByLinking(source, target);
    case MoveWay::Copy:
        break;
    }
    return moveByCopying(source, target);
}

} // namespace files
