#include "sources/Engine.h"

#include <algorithm>
#include <array>
#include <chrono>

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

// The server ends a statement that runs too long, and one that waits too
// long for a table's metadata lock or a row lock, with an error of its own;
// the session stays usable. MySQL bounds only queries, in milliseconds.
constexpr auto mariadbBounds = "SET SESSION max_statement_time = %1, lock_wait_timeout = %3, "
                               "innodb_lock_wait_timeout = %3";
constexpr auto mysqlBounds = "SET SESSION max_execution_time = %2, lock_wait_timeout = %3, "
                             "innodb_lock_wait_timeout = %3";

// NUMERIC alone is DECIMAL(10,0) there and TEXT holds 65,535 bytes; names
// may have 64 characters, whatever the driver says.
constexpr Engine mysqlLike(const char* name, const char* bounds) {
    return {name, mysqlSession,         bounds,     {"DOUBLE", "LONGTEXT"}, true,
            64,   NameUnit::Characters, mysqlPacket};
}

// A database or role may still default to the old string syntax, where a
// backslash inside quotes escapes the next character, quotes included.
constexpr auto postgresSession = "SET standard_conforming_strings = on";

// The driver has the server bound statements (statement_timeout, from the
// query timeout); a lock wait ends on its own error.
constexpr auto postgresBounds = "SET lock_timeout = %4";

constexpr std::array<Engine, 4> engines = {{
    mysqlLike("MariaDB", mariadbBounds),
    mysqlLike("MySQL", mysqlBounds),
    // Longer names are cut to the driver's figure, counted in bytes.
    {"PostgreSQL", postgresSession, postgresBounds, {}, false, 0, NameUnit::Utf8Bytes, {}},
    // Takes names of any length, whatever the driver says. Its lock wait is
    // the driver's busy timeout, given when connecting.
    {"SQLite", nullptr, nullptr, {}, false, -1, NameUnit::Characters, {}},
}};

constexpr Engine unknownEngine{"", nullptr, nullptr, {}, false, 0, NameUnit::Characters, {}};

} // namespace

QString boundsSetUp(const Engine& engine, const odbc::Timeouts& timeouts) {
    if (!engine.boundsSetUp) {
        return {};
    }
    using std::chrono::milliseconds;
    using std::chrono::seconds;
    const milliseconds statement = timeouts.statement;
    const seconds lockSeconds =
        std::max(seconds(1), std::chrono::ceil<seconds>(statement) - seconds(1));
    // By number, as not every text names every figure.
    return QString::fromLatin1(engine.boundsSetUp)
        .replace(QLatin1String("%1"),
                 QString::number(static_cast<double>(statement.count()) / 1000))
        .replace(QLatin1String("%2"), QString::number(statement.count()))
        .replace(QLatin1String("%3"), QString::number(lockSeconds.count()))
        .replace(QLatin1String("%4"), QString::number(milliseconds(lockSeconds).count()));
}

const Engine& engineNamed(const QString& dbmsName) {
    for (const Engine& engine : engines) {
        if (dbmsName.compare(QLatin1String(engine.dbmsName), Qt::CaseInsensitive) == 0) {
            return engine;
        }
    }
    return unknownEngine;
}

} // namespace sources
