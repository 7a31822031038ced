#pragma once

// Reading the ADO-style connection string that the program hands to the ODBC
// layer. Kept apart from the ODBC calls so that it can be tested alone.

#include "platform/odbc/Odbc.h"

namespace odbc::detail {

// The data source name that a request asks for. The string is split at ';'
// into "key=value" parts; keys are compared without regard to case or
// surrounding blanks, values are taken verbatim. "Provider" (in the string or
// in the request) may only name the ODBC provider. Throws Error on a provider
// this layer cannot serve, a part without '=' or an unknown key.
QString dataSourceName(const OpenRequest& request);

} // namespace odbc::detail
