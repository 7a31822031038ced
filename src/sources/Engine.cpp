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

// The database's default, which a new table takes. MariaDB's latin1 is
// Windows 1252; its Unicode sets hold every character a Paradox table has.
constexpr CharsetName mysqlNarrow[] = {
    {"latin1", "CP1252"},
    {"latin2", "ISO-8859-2"},
    {"latin5", "ISO-8859-9"},
    {"latin7", "ISO-8859-13"},
    {"cp1250", "CP1250"},
    {"cp1251", "CP1251"},
    {"cp1256", "CP1256"},
    {"cp1257", "CP1257"},
    {"greek", "ISO-8859-7"},
    {"hebrew", "ISO-8859-8"},
    {"koi8r", "KOI8-R"},
    {"koi8u", "KOI8-U"},
    {"cp866", "CP866"},
    {"cp850", "CP850"},
    {"cp852", "CP852"},
    {"ascii", "ASCII"},
    {"armscii8", "ARMSCII-8"},
    {"geostd8", "GEORGIAN-PS"},

    {"macce", "MAC-CENTRALEUROPE"},
    {"macroman", "MACINTOSH"},
    {"swe7", "SEN_850200_B"},
    {"dec8", "DEC-MCS"},
    {"hp8", "HP-ROMAN8"},
    {"tis620", "TIS-620"},
    {"euckr", "EUC-KR"},
    {"sjis", "SHIFT_JIS"},
    {"ujis", "EUC-JP"},
    {"gbk", "GBK"},
    {"big5", "BIG5"},
    {"gb2312", "GB2312"},
    {"cp932", "CP932"},
    {"eucjpms", "EUC-JP-MS"},
};
constexpr TextEncoding mysqlEncoding{"SELECT @@character_set_database", mysqlNarrow};

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
    return {name, mysqlSession,         bounds,      {"DOUBLE", "LONGTEXT"}, true,
            64,   NameUnit::Characters, mysqlPacket, mysqlEncoding};
}

// A database or role may still default to the old string syntax, where a
// backslash inside quotes escapes the next character, quotes included.
constexpr auto postgresSession = "SET standard_conforming_strings = on";

// The server's encoding; SQL_ASCII stores bytes as they come, UTF8 all.
constexpr CharsetName postgresNarrow[] = {
    {"LATIN1", "ISO-8859-1"},
    {"LATIN2", "ISO-8859-2"},
    {"LATIN3", "ISO-8859-3"},
    {"LATIN4", "ISO-8859-4"},
    {"LATIN5", "ISO-8859-9"},
    {"LATIN6", "ISO-8859-10"},
    {"LATIN7", "ISO-8859-13"},
    {"LATIN8", "ISO-8859-14"},
    {"LATIN9", "ISO-8859-15"},
    {"LATIN10", "ISO-8859-16"},
    {"WIN866", "CP866"},
    {"WIN874", "CP874"},
    {"WIN1250", "CP1250"},
    {"WIN1251", "CP1251"},
    {"WIN1252", "CP1252"},
    {"WIN1253", "CP1253"},
    {"WIN1254", "CP1254"},
    {"WIN1255", "CP1255"},
    {"WIN1256", "CP1256"},
    {"WIN1257", "CP1257"},
    {"WIN1258", "CP1258"},
    {"KOI8R", "KOI8-R"},
    {"KOI8U", "KOI8-U"},
    {"ISO_8859_5", "ISO-8859-5"},
    {"ISO_8859_6", "ISO-8859-6"},
    {"ISO_8859_7", "ISO-8859-7"},
    {"ISO_8859_8", "ISO-8859-8"},
    {"EUC_JP", "EUC-JP"},
    {"EUC_CN", "EUC-CN"},
    {"EUC_KR", "EUC-KR"},
    {"EUC_TW", "EUC-TW"},
    {"EUC_JIS_2004", "EUC-JISX0213"},
    {"SJIS", "SHIFT_JIS"},
    {"SHIFT_JIS_2004", "SHIFT_JISX0213"},
    {"BIG5", "BIG5"},
    {"GBK", "GBK"},
    {"UHC", "CP949"},
    {"JOHAB", "JOHAB"},
};
constexpr TextEncoding postgresEncoding{"SHOW server_encoding", postgresNarrow};

// The driver has the server bound statements (statement_timeout, from the
// query timeout); a lock wait ends on its own error.
constexpr auto postgresBounds = "SET lock_timeout = %4";

constexpr std::array<Engine, 4> engines = {{
    mysqlLike("MariaDB", mariadbBounds),
    mysqlLike("MySQL", mysqlBounds),
    // Longer names are cut to the driver's figure, counted in bytes.
    {"PostgreSQL",
     postgresSession,
     postgresBounds,
     {},
     false,
     0,
     NameUnit::Utf8Bytes,
     {},
     postgresEncoding},
    // Takes names of any length, whatever the driver says. Its lock wait is
    // the driver's busy timeout, given when connecting.
    {"SQLite", nullptr, nullptr, {}, false, -1, NameUnit::Characters, {}, {}},
}};

constexpr Engine unknownEngine{"", nullptr, nullptr, {}, false, 0, NameUnit::Characters, {}, {}};

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

QString narrowCharsetOf(const Engine& engine, const QString& serverName) {
    const QString server = serverName.trimmed();
    for (const CharsetName& name : engine.encoding.narrow) {
        if (server.compare(QLatin1String(name.server), Qt::CaseInsensitive) == 0) {
            return QString::fromLatin1(name.iconv);
        }
    }
    return {};
}

} // namespace sources
