#include "sources/Target.h"

namespace sources {

std::unique_ptr<odbc::Connection> openTarget(const LiveSettings& settings, odbc::Opener& opener,
                                             Provider provider) {
    const QString name = provider == Provider::Odbc ? QStringLiteral("MSDASQL") : QString();
    return opener.open({sybaseConnectionString(settings.dataSourceName()), name});
}

} // namespace sources
