#include "sources/Engine.h"

#include <array>

namespace sources {

namespace {

// Double-quoted names as identifiers, backslashes as plain characters, and a
// value that does not fit its column as an error rather than a cut.
constexpr auto mysqlSession = "SET SESSION sql_mode = CONCAT(@@SESSION.sql_mode, "
                              "',ANSI_QUOTES,NO_BACKSLASH_ESCAPES,STRICT_ALL_TABLES')";

// A larger statement ends the session ("Server has gone away").
constexpr StatementLimit mysqlPacket{
    "SELECT @@max_allowed_packet",
    "Raise max_allowed_packet on the server (up to 1G), for example with max_allowed_packet=256M "
    "in the [mysqld] section of its configuration, or SET GLOBAL max_allowed_packet = 268435456 "
    "for the sessions that start after it."};

// NUMERIC alone is DECIMAL(10,0) there and TEXT holds 65,535 bytes; names
// may have 64 characters, whatever the driver says.
constexpr Engine mysqlLike(const char* name) {
    return {name,       mysqlSession, {"DOUBLE", "LONGTEXT"}, true, 64, NameUnit::Characters,
            mysqlPacket};
}

// A database or role may still default to the old string syntax, where a
// backslash inside quotes escapes the next character, quotes included.
constexpr auto postgresSession = "SET standard_conforming_strings = on";

constexpr std::array<Engine, 4> engines = {{
    mysqlLike("MariaDB"),
    mysqlLike("MySQL"),
    // Longer names are cut to the driver's figure, counted in bytes.
    {"PostgreSQL", postgresSession, {}, false, 0, NameUnit::Utf8Bytes, {}},
    // Takes names of any length, whatever the driver says.
    {"SQLite", nullptr, {}, false, -1, NameUnit::Characters, {}},
}};

constexpr Engine unknownEngine{"", nullptr, {}, false, 0, NameUnit::Characters, {}};

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
