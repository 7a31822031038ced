#include "sources/Catalogues.h"

namespace sources {

bool passGate(const LiveSettings& settings, odbc::Opener& opener) {
    return sources::TestParadoxFolder(settings) && sources::TestDataSource(settings, opener);
}

} // namespace sources
