#include "platform/userio/EventPump.h"
#include "sources/Catalogues.h"
#include "sources/Target.h"

namespace sources {

namespace {

Target openDataSource(const ConnectionSettings& settings, odbc::Opener& opener) {
    return openTarget(settings, opener, Provider::Odbc);
}

bool isUserTable(const odbc::CatalogEntry& entry) {
    return entry.type && *entry.type == QLatin1String("TABLE");
}

bool looksLikeSystemTable(const QString& name) {
    return name.toUpper().contains(QLatin1String("SYS"), Qt::CaseSensitive);
}

} // namespace

bool testDataSource(const ConnectionSettings& settings, odbc::Opener& opener) {
    try {
        const Target target = openDataSource(settings, opener); // closed on return
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void listTargetTables(userio::TableList& list, const ConnectionSettings& settings,
                      odbc::Opener& opener) {
    const Target target = openDataSource(settings, opener);
    const auto catalogue = target.tables();
    list.clearAll();
    while (const std::optional<odbc::CatalogEntry> entry = catalogue->next()) {
        if (!isUserTable(*entry)) {
            continue;
        }
        userio::letEventsThrough();
        if (entry->name && !looksLikeSystemTable(*entry->name)) {
            list.add(*entry->name);
        }
    }
}

} // namespace sources
