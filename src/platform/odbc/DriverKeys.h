#pragma once

// The bounds a driver takes as keys of the connection string: the MariaDB
// driver's connect, read and write timeouts, the libpq options that
// PostgreSQL's driver passes on (pqopt) for a link that died, SQLite's busy
// timeout. Private to the ODBC layer.

#include "platform/odbc/Odbc.h"
#include "platform/odbc/Watchdog.h"

namespace odbc::detail {

// Which driver serves a data source, by its library.
enum class DriverKind { Other, SQLite, PostgreSQL, MariaDB };

// The driver of the data source as unixODBC finds it (the Driver= of its
// section, which names a library or a driver of odbcinst.ini).
DriverKind driverOf(const QString& dataSource);

// A key of the data source's own section; empty when it sets none.
QString dataSourceKey(const QString& dataSource, const QString& key);

// typedKeys ("key=value;...", as typed after the data source name) with the
// bounds the data source's driver takes added, each only where neither the
// typed keys nor the data source set it. A pqopt of either is kept whole,
// with the options it does not name added.
QString withBoundKeys(const QString& dataSource, const QString& typedKeys,
                      const Timeouts& timeouts);

// Where the data source's server listens, from the keys typed and its own:
// PostgreSQL's Servername and Port (a local socket when the host is a folder
// or none), MariaDB's Server, Port or Socket, other drivers' Server or Host
// and Port; nothing for SQLite, or for a driver that names no server.
ServerAddress serverOf(const QString& dataSource, const QString& typedKeys);

} // namespace odbc::detail
