#include "platform/ui/EventPump.h"
#include "sources/Catalogues.h"
#include "sources/Target.h"

namespace sources {

namespace {

sources::Target openDataSource(const sources::LiveSettings& settings, odbc::Opener& opener) {
    return sources::openTarget(settings, opener, sources::Provider::Odbc);
}

bool isUserTable(const odbc::CatalogEntry& entry) {
    return entry.type && *entry.type == QLatin1String("TABLE");
}

bool looksLikeSystemTable(const QString& name) {
    return name.toUpper().contains(QLatin1String("SYS"), Qt::CaseSensitive);
}

} // namespace

bool TestDataSource(const sources::LiveSettings& settings, odbc::Opener& opener) {
    try {
        const sources::Target target = openDataSource(settings, opener); // closed on return
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void ListTargetTables(ui::TableList& list, const sources::LiveSettings& settings,
                      odbc::Opener& opener) {
    const sources::Target target = openDataSource(settings, opener);
    const auto catalogue = target.tables();
    list.clearAll();
    while (const std::optional<odbc::CatalogEntry> entry = catalogue->next()) {
        if (!isUserTable(*entry)) {
            continue;
        }
        ui::letEventsThrough();
        if (entry->name && !looksLikeSystemTable(*entry->name)) {
            list.add(*entry->name);
        }
    }
}

} // namespace sources
