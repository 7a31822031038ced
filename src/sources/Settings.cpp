#include "sources/Settings.h"

#include <QSettings>

namespace sources {

namespace {
constexpr auto organisation = "Marrowfen";
constexpr auto group = "Orvandel";
} // namespace

QString store::read(const char* key) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, organisation);
    settings.beginGroup(group);
    return settings.value(key, QString()).toString();
}

void store::write(const char* key, const QString& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, organisation);
    settings.beginGroup(group);
    settings.setValue(key, value);
    settings.sync();
}

QString sybaseConnectionString(const QString& dataSourceName) {
    return QStringLiteral("Data Source=") + dataSourceName;
}

} // namespace sources
