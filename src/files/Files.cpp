#include "files/Files.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace fs = std::filesystem;

namespace files {

bool fileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(path);
}

QString decodeFileName(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError()) {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return text;
}

QString displayPath(const fs::path& path) {
    return decodeFileName(path.native());
}

fs::path pathOf(const QString& text) {
    return fs::path(text.toUtf8().toStdString());
}

namespace {

bool isRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

} // namespace

std::optional<fs::path> findTableFile(const fs::path& dir, const QString& name) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QChar(0))) {
        return std::nullopt;
    }
    for (const char* extension : {".DB", ".db"}) {
        const fs::path exact = dir / pathOf(name + QLatin1String(extension));
        if (isRegularFile(exact)) {
            return exact;
        }
    }
    // Upper-cased as the catalogue lists names, so that a listed entry matches.
    const QString wanted = (name + QStringLiteral(".DB")).toUpper();
    std::optional<fs::path> first;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().native();
        if (decodeFileName(entry).toUpper() != wanted || !isRegularFile(it->path())) {
            continue;
        }
        if (!first || entry < first->filename().native()) {
            first = it->path();
        }
    }
    return first;
}

} // namespace files
