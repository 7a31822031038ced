#include "sources/Settings.h"

#include <QFileInfo>
#include <QSettings>

namespace sources {

QString store::read(const char* key) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, store::Organisation);
    settings.beginGroup(store::Group);
    return settings.value(key, QString()).toString();
}

namespace {

// Why the settings file could not be written, as far as the file system says.
QString whyNotWritten(const QString& fileName) {
    const QFileInfo file(fileName);
    if (file.isDir()) {
        return QStringLiteral("%1 is a folder, not a file").arg(fileName);
    }
    if (file.exists() && !file.isWritable()) {
        return QStringLiteral("%1 is read-only").arg(fileName);
    }
    const QFileInfo folder(file.path());
    if (!folder.exists()) {
        return QStringLiteral("its folder %1 does not exist and could not be made")
            .arg(folder.filePath());
    }
    if (!folder.isDir() || !folder.isWritable()) {
        return QStringLiteral("its folder %1 cannot be written").arg(folder.filePath());
    }
    return QStringLiteral("%1 could not be written").arg(fileName);
}

} // namespace

QString store::write(const char* key, const QString& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, store::Organisation);
    settings.beginGroup(store::Group);
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        return {};
    }
    return QStringLiteral("The settings could not be stored: %1. The values typed stay in use "
                          "until the program ends.")
        .arg(whyNotWritten(settings.fileName()));
}

QString dataSourceConnectionString(const QString& dataSourceName) {
    return QStringLiteral("Data Source=") + dataSourceName;
}

} // namespace sources
