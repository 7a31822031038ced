# shellcheck shell=bash
# Throwaway MariaDB servers on loopback for scripts/test and scripts/bench.
# Source it after scripts/packages.sh; it defines functions only. A server
# lives in a folder of its own: data in folder/data, socket, PID and log
# beside it; it is stopped by its PID.

source "$(dirname "${BASH_SOURCE[0]}")/servers.sh"

# The server refuses to run as root; then it runs as user mysql.
as_mysql() {
    if [ "$(id -u)" -eq 0 ]; then
        (cd / && runuser -u mysql -- "$@")
    else
        "$@"
    fi
}

# Statements run as the server's superuser through its socket.
mariadb_sql() { # folder, statements
    mariadb --no-defaults --socket="$1/socket" -u root -e "$2"
}

# Creates an empty server in folder (superuser root, no password, reached
# through the socket only) and starts it on a free port; prints the port.
# The folder must exist. Server options that follow it are kept in
# folder/options for every start.
mariadb_start() { # folder, [server options...]
    local folder=$1
    shift
    : >"$folder/options"
    [ $# -eq 0 ] || printf '%s\n' "$@" >"$folder/options"
    if [ "$(id -u)" -eq 0 ]; then
        chown mysql "$folder"
    fi
    as_mysql mariadb-install-db --no-defaults --datadir="$folder/data" \
        --auth-root-authentication-method=normal --skip-test-db --skip-name-resolve \
        >"$folder/install.log" 2>&1 || { cat "$folder/install.log" >&2; return 1; }
    start_on_free_port mariadb_resume "$folder" MariaDB "$folder/mariadb.log"
}

# Starts the stopped server of folder again on port; returns once it answers.
mariadb_resume() { # folder, port
    local folder=$1 options=()
    [ -f "$folder/options" ] && mapfile -t options <"$folder/options"
    rm -f "$folder/mariadb.pid"
    as_mysql setsid mariadbd --no-defaults --datadir="$folder/data" --socket="$folder/socket" \
        --port="$2" --bind-address=127.0.0.1 --pid-file="$folder/mariadb.pid" \
        --log-error="$folder/mariadb.log" --skip-name-resolve --innodb-buffer-pool-size=64M \
        --innodb-flush-log-at-trx-commit=2 "${options[@]}" </dev/null >/dev/null 2>&1 &
    local server=$!
    for _ in $(seq 1 300); do
        if mariadb-admin --no-defaults --socket="$folder/socket" -u root ping >/dev/null 2>&1; then
            return 0
        fi
        kill -0 "$server" 2>/dev/null || return 1
        sleep 0.1
    done
    kill -KILL "$server" 2>/dev/null || true
    return 1
}

# Stops the server of folder by its PID: TERM and a wait, or KILL at once
# when the mode is "immediate".
mariadb_stop() { # folder, [mode]
    local pid
    pid=$(cat "$1/mariadb.pid" 2>/dev/null) || return 0
    if [ "${2:-}" = immediate ]; then
        kill -KILL "$pid" 2>/dev/null || true
    else
        kill -TERM "$pid" 2>/dev/null || true
    fi
    for _ in $(seq 1 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$1/mariadb.pid"
}

# Creates a database and a user with a password who may use it.
mariadb_create_database() { # folder, database, user, password
    mariadb_sql "$1" "CREATE DATABASE \`$2\` CHARACTER SET utf8mb4;
        CREATE USER IF NOT EXISTS '$3'@'127.0.0.1' IDENTIFIED BY '$4';
        GRANT ALL ON \`$2\`.* TO '$3'@'127.0.0.1';"
}

# An odbc.ini section for a database of a throwaway server, with the user's
# account in the data source.
mariadb_data_source() { # name, port, database, user, password
    printf '[%s]\nDriver=MariaDB Unicode\nServer=127.0.0.1\nPort=%s\nDatabase=%s\nUser=%s\nPassword=%s\n\n' \
        "$1" "$2" "$3" "$4" "$5"
}
