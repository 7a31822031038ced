#include "sources/Catalogues.h"

namespace sources {

bool passGate(const LiveSettings& settings, odbc::Opener& opener) {
    return Paradox::TestConnection(settings) && Sybase::TestConnection(settings, opener);
}

} // namespace sources
