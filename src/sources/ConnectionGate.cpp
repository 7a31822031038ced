#include "sources/Catalogues.h"

namespace sources {

bool passGate(const LiveSettings& settings, odbc::Opener& opener) {
    return TestParadoxFolder(settings) && TestDataSource(settings, opener);
}

} // namespace sources
