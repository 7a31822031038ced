#pragma once

// Column types of the created tables, chosen from the fields' ADO type codes.

#include <QString>

namespace Datatype {

// The name of the ADO type constant for a code ("adVarChar"), or the empty
// text for a code without one. The code is taken as a 16-bit signed integer.
QString DataTypeName(int code);

// The text that follows a column name in CREATE TABLE: `" TEXT,`,
// `" NUMERIC,` or `" TEXt,`.
QString ColumnClause(int code);

} // namespace Datatype
