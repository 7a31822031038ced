#pragma once

// Reading the ADO-style connection string that the program hands to the ODBC
// layer. Kept apart from the ODBC calls so that it can be tested alone.

#include "platform/odbc/Odbc.h"

namespace odbc::detail {

struct DataSourceRequest {
    QString name;       // the value of "Data Source"
    QString driverKeys; // every other "key=value" part, unchanged, joined by ';'
};

// What a request asks to connect to. The string is split at ';' into
// "key=value" parts; keys are compared without regard to case or surrounding
// blanks, the data source name without its surrounding blanks, the other
// values verbatim. "Provider" (in the string or in the
// request) may only name the ODBC provider; other keys than "Data Source"
// and "Provider" are for the driver (such as UID= and PWD=). Throws Error on
// a provider this layer cannot serve or a part without '='.
DataSourceRequest dataSourceOf(const OpenRequest& request);

} // namespace odbc::detail
