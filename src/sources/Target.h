#pragma once

// The one place the data source of the settings is opened.

#include "platform/odbc/Odbc.h"
#include "sources/Settings.h"

#include <memory>

namespace sources {

// Whether the ODBC provider is named on the connection: the catalogue and
// its connection test name it, the commands do not.
enum class Provider { Unnamed, Odbc };

// Opens "Data Source=<name>" of the settings. Throws odbc::Error.
std::unique_ptr<odbc::Connection> openTarget(const LiveSettings& settings, odbc::Opener& opener,
                                             Provider provider = Provider::Unnamed);

} // namespace sources
