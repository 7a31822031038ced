# shellcheck shell=bash
# Throwaway PostgreSQL servers on loopback for scripts/test and scripts/bench,
# and the ODBC driver libraries they register. Source it after
# scripts/packages.sh; it defines functions only.

# The newest installed server's programs.
pg_bin=$(find /usr/lib/postgresql -path '*/bin/pg_ctl' 2>/dev/null | sort -V | tail -n 1)
pg_bin=${pg_bin%/pg_ctl}

# The server refuses to run as root; then it runs as user postgres.
as_postgres() {
    if [ "$(id -u)" -eq 0 ]; then
        (cd / && runuser -u postgres -- "$@")
    else
        "$@"
    fi
}

source "$(dirname "${BASH_SOURCE[0]}")/servers.sh"

# Creates a cluster in folder/pg (superuser orvandel, trust logins) and starts
# it on a free port with its socket in folder/socket; prints the port. The
# folder must exist. Extra lines for pg_hba.conf may follow the folder.
pg_start() { # folder, hba lines...
    local folder=$1
    shift
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres "$folder"
    fi
    as_postgres "$pg_bin/initdb" -D "$folder/pg" -U orvandel -A trust -E UTF8 --no-locale \
        --no-sync >"$folder/initdb.log" || { cat "$folder/initdb.log" >&2; return 1; }
    as_postgres mkdir "$folder/socket"
    local line
    for line in "$@"; do
        as_postgres sed -i "1i $line" "$folder/pg/pg_hba.conf"
    done
    start_on_free_port pg_resume "$folder" PostgreSQL "$folder/postgres.log"
}

# Starts the stopped server of folder again on port.
pg_resume() { # folder, port
    as_postgres "$pg_bin/pg_ctl" start -D "$1/pg" -l "$1/postgres.log" -w -s \
        -o "-p $2 -k $1/socket -c listen_addresses=127.0.0.1"
}

pg_stop() { # folder, [mode]
    if [ -f "$1/pg/postmaster.pid" ]; then
        as_postgres "$pg_bin/pg_ctl" stop -D "$1/pg" -m "${2:-fast}" -s || true
    fi
}

pg_create_database() { # port, name, [createdb options...]
    "$pg_bin/createdb" -h 127.0.0.1 -p "$1" -U orvandel "${@:3}" "$2"
}

# The library of an ODBC driver, from its package's file list.
driver_library() { # package, library file name
    local library
    library=$(dpkg -L "$1" 2>/dev/null | grep -m1 "/$2\$") || {
        echo "error: package $1 holds no $2; is it installed?" >&2
        return 1
    }
    printf '%s\n' "$library"
}

# Writes odbcinst.ini into folder with the SQLite3, PostgreSQL Unicode and
# MariaDB Unicode drivers.
write_driver_ini() { # folder
    local sqlite postgres mariadb
    sqlite=$(driver_library libsqliteodbc libsqlite3odbc.so) || return 1
    postgres=$(driver_library odbc-postgresql psqlodbcw.so) || return 1
    mariadb=$(driver_library odbc-mariadb libmaodbc.so) || return 1
    mkdir -p "$1"
    cat >"$1/odbcinst.ini" <<INI
[SQLite3]
Description=SQLite 3 ODBC driver
Driver=$sqlite

[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode)
Driver=$postgres

[MariaDB Unicode]
Description=MariaDB ODBC driver (Unicode)
Driver=$mariadb
INI
    : >"$1/odbc.ini"
}

# An odbc.ini section for a database of a throwaway server.
postgres_data_source() { # name, port, database, [user]
    printf '[%s]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%s\nDatabase=%s\nUsername=%s\n\n' \
        "$1" "$2" "$3" "${4:-orvandel}"
}
