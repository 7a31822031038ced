#include "sources/Catalogues.h"

namespace sources {

bool passGate(const ConnectionSettings& settings, odbc::Opener& opener) {
    return testParadoxFolder(settings) && testDataSource(settings, opener);
}

} // namespace sources
