#include "transfer/ColumnTypeMapping.h"

#include <array>
#include <cstdint>
#include <utility>

namespace transfer {

namespace {

struct TypeName {
    int code;
    const char* name;
};

constexpr std::array<TypeName, 39> typeNames = {{
    {0, "adEmpty"},
    {2, "adSmallInt"},
    {3, "adInteger"},
    {4, "adSingle"},
    {5, "adDouble"},
    {6, "adCurrency"},
    {7, "adDate"},
    {8, "adBSTR"},
    {9, "adIDispatch"},
    {10, "adError"},
    {11, "adBoolean"},
    {12, "adVariant"},
    {13, "adIUnknown"},
    {14, "adDecimal"},
    {16, "adTinyInt"},
    {17, "adUnsignedTinyInt"},
    {18, "adUnsignedSmallInt"},
    {19, "adUnsignedInt"},
    {20, "adBigInt"},
    {21, "adUnsignedBigInt"},
    {64, "adFileTime"},
    {72, "adGUID"},
    {128, "adBinary"},
    {129, "adChar"},
    {130, "adWChar"},
    {131, "adNumeric"},
    {132, "adUserDefined"},
    {133, "adDBDate"},
    {134, "adDBTime"},
    {135, "adDBTimeStamp"},
    {136, "adChapter"},
    {138, "adPropVariant"},
    {139, "adVarNumeric"},
    {200, "adVarChar"},
    {201, "adLongVarChar"},
    {202, "adVarWChar"},
    {203, "adLongVarWChar"},
    {204, "adVarBinary"},
    {205, "adLongVarBinary"},
}};

const QString textClause = QStringLiteral("\" TEXT,");
const QString numericClause = QStringLiteral("\" NUMERIC,");
const QString timestampClause = QStringLiteral("\" TEXt,");

// Tested in this order; the first fragment found in the lower-case name decides.
const std::array<std::pair<const char*, const QString*>, 10> fragments = {{
    {"char", &textClause},
    {"decimal", &numericClause},
    {"single", &numericClause},
    {"int", &numericClause},
    {"adlongvarbinary", &textClause},
    {"longvar", &textClause},
    {"numeric", &numericClause},
    {"date", &textClause},
    {"timestamp", &timestampClause},
    {"double", &numericClause},
}};

} // namespace

QString dataTypeName(int code) {
    const int asShort = static_cast<std::int16_t>(code);
    for (const TypeName& entry : typeNames) {
        if (entry.code == asShort) {
            return QString::fromLatin1(entry.name);
        }
    }
    return {};
}

namespace {

const QString& plainClause(int code) {
    const QString name = dataTypeName(code).toLower();
    for (const auto& [fragment, clause] : fragments) {
        if (name.contains(QLatin1String(fragment))) {
            return *clause;
        }
    }
    return textClause;
}

// Integers of at most ten digits, which every NUMERIC holds.
bool isShortInteger(int code) {
    switch (static_cast<std::int16_t>(code)) {
    case 2:  // adSmallInt
    case 3:  // adInteger
    case 16: // adTinyInt
    case 17: // adUnsignedTinyInt
    case 18: // adUnsignedSmallInt
    case 19: // adUnsignedInt
        return true;
    default:
        return false;
    }
}

QString clauseOf(const char* type) {
    return QStringLiteral("\" %1,").arg(QLatin1String(type));
}

} // namespace

QString columnClause(int code, const sources::ColumnTypes& types) {
    const QString& clause = plainClause(code);
    if (&clause == &numericClause) {
        return types.wideNumber && !isShortInteger(code) ? clauseOf(types.wideNumber) : clause;
    }
    return types.text ? clauseOf(types.text) : clause;
}

} // namespace transfer
