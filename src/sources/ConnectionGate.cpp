#include "sources/Catalogues.h"

namespace sources {

bool passGate(const LiveSettings& settings, odbc::Opener& opener) {
    return testParadoxFolder(settings) && testDataSource(settings, opener);
}

} // namespace sources
