#include "platform/ui/EventPump.h"
#include "sources/Catalogues.h"

#include <QListWidget>

namespace Sybase {

namespace {

const QString provider = QStringLiteral("MSDASQL");

std::unique_ptr<odbc::Connection> openDataSource(const sources::LiveSettings& settings,
                                                 odbc::Opener& opener) {
    return opener.open({sources::sybaseConnectionString(settings.dataSourceName()), provider});
}

bool isUserTable(const odbc::CatalogEntry& entry) {
    return entry.type && *entry.type == QLatin1String("TABLE");
}

bool looksLikeSystemTable(const QString& name) {
    return name.toUpper().contains(QLatin1String("SYS"), Qt::CaseSensitive);
}

} // namespace

bool TestConnection(const sources::LiveSettings& settings, odbc::Opener& opener) {
    try {
        const auto connection = openDataSource(settings, opener); // closed on return
        return true;
    } catch (...) {
        return false;
    }
}

void ListTables(QListWidget& list, const sources::LiveSettings& settings, odbc::Opener& opener) {
    const auto connection = openDataSource(settings, opener);
    const std::vector<odbc::CatalogEntry> catalogue = connection->tables();
    list.clear();
    for (const odbc::CatalogEntry& entry : catalogue) {
        if (!isUserTable(entry)) {
            continue;
        }
        ui::letEventsThrough();
        if (entry.name && !looksLikeSystemTable(*entry.name)) {
            list.addItem(*entry.name);
        }
    }
}

} // namespace Sybase
