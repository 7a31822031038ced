# shellcheck shell=bash
# What the throwaway servers of scripts/pg.sh and scripts/mariadb.sh share.
# Sourced by them; defines functions only.

port_in_use() {
    (: </dev/tcp/127.0.0.1/"$1") 2>/dev/null
}

# Starts a server on a free port with "resume folder port", trying a few
# ports (one can be taken between the check and the start); prints the port.
start_on_free_port() { # resume function, folder, server name, its log
    local resume=$1 folder=$2 port
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        port=$((20000 + RANDOM % 40000))
        port_in_use "$port" && continue
        if "$resume" "$folder" "$port"; then
            printf '%s\n' "$port"
            return 0
        fi
    done
    echo "error: could not start $3; its log follows." >&2
    cat "$4" >&2 || true
    return 1
}
