#include "sources/Engine.h"

#include <array>

namespace sources {

namespace {

// Double-quoted names as identifiers, backslashes as plain characters, and a
// value that does not fit its column as an error rather than a cut.
constexpr auto mysqlSession = "SET SESSION sql_mode = CONCAT(@@SESSION.sql_mode, "
                              "',ANSI_QUOTES,NO_BACKSLASH_ESCAPES,STRICT_ALL_TABLES')";

// NUMERIC alone is DECIMAL(10,0) there and TEXT holds 65,535 bytes; names
// may have 64 characters, whatever the driver says.
constexpr Engine mysqlLike(const char* name) {
    return {name, mysqlSession, {"DOUBLE", "LONGTEXT"}, true, 64, NameUnit::Characters};
}

constexpr std::array<Engine, 4> engines = {{
    mysqlLike("MariaDB"),
    mysqlLike("MySQL"),
    // Longer names are cut to the driver's figure, counted in bytes.
    {"PostgreSQL", nullptr, {}, false, 0, NameUnit::Utf8Bytes},
    // Takes names of any length, whatever the driver says.
    {"SQLite", nullptr, {}, false, -1, NameUnit::Characters},
}};

constexpr Engine unknownEngine{"", nullptr, {}, false, 0, NameUnit::Characters};

} // namespace

const Engine& engineNamed(const QString& dbmsName) {
    for (const Engine& engine : engines) {
        if (dbmsName.compare(QLatin1String(engine.dbmsName), Qt::CaseInsensitive) == 0) {
            return engine;
        }
    }
    return unknownEngine;
}

} // namespace sources
