#pragma once

// Column types of the created tables, chosen from the fields' ADO type codes.

#include "sources/Engine.h"

#include <QString>

namespace transfer {

// The name of the ADO type constant for a code ("adVarChar"), or the empty
// text for a code without one. The code is taken as a 16-bit signed integer.
QString dataTypeName(int code);

// The text that follows a column name in CREATE TABLE: `" TEXT,`,
// `" NUMERIC,` or `" TEXt,`, with the engine's own types where it names them
// (`" DOUBLE,` for a double where NUMERIC would round it).
QString columnClause(int code, const sources::ColumnTypes& types);

} // namespace transfer
