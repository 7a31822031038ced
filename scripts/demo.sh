# shellcheck shell=bash
# The demo that scripts/run prepares: a SQLite database behind the data source
# OrvandelDemo, a folder of Paradox tables, and settings pointing at both.
# Source it; it defines functions only. Data sources, drivers and settings
# that already exist are left alone.
#
# unixODBC does not take the user's data source file from $HOME: it reads
# $ODBCINI, else .odbc.ini in the account's home directory. Its drivers come
# from odbcinst.ini in $ODBCSYSINI (default /etc), then from $HOME/.odbcinst.ini.
# So the files are asked of odbcinst rather than guessed.

demo_data_source=OrvandelDemo

demo_home() { printf '%s\n' "${XDG_DATA_HOME:-$HOME/.local/share}/Orvandel"; }
demo_settings_file() { printf '%s\n' "${XDG_CONFIG_HOME:-$HOME/.config}/Marrowfen.conf"; }

# One file of `odbcinst -j`, by its label ("DRIVERS", "USER DATA SOURCES").
odbc_file() { # label
    local file
    file=$(odbcinst -j | sed -n "s/^$1\.*: *//p")
    if [ -z "$file" ]; then
        echo "error: 'odbcinst -j' does not name the $1 file" >&2
        return 1
    fi
    printf '%s\n' "$file"
}

# The name of a registered driver that is the SQLite 3 ODBC driver.
sqlite_driver_name() {
    local section name
    while IFS= read -r section; do
        name=${section#[}
        name=${name%]}
        if odbcinst -q -d -n "$name" 2>/dev/null |
            grep -qE '^[[:space:]]*Driver[[:space:]]*=[[:space:]]*(.*/)?libsqlite3odbc\.so[[:space:]]*$'; then
            printf '%s\n' "$name"
            return 0
        fi
    done < <(odbcinst -q -d 2>/dev/null)
    return 1
}

# Appends a block of ini text to file, on a line of its own.
append_ini() { # file, text
    mkdir -p "$(dirname "$1")"
    if [ -s "$1" ] && [ -n "$(tail -c 1 "$1")" ]; then
        echo >>"$1"
    fi
    printf '%s\n' "$2" >>"$1"
}

# Registers the SQLite 3 driver when no driver is, in the drivers file of
# $ODBCSYSINI when that is set, else in the user's own drivers file.
# Prints the driver's name.
ensure_sqlite_driver() {
    local name file library
    if name=$(sqlite_driver_name); then
        printf '%s\n' "$name"
        return 0
    fi
    if [ -n "${ODBCSYSINI:-}" ]; then
        file=$(odbc_file DRIVERS) || return 1
    else
        file="$HOME/.odbcinst.ini"
    fi
    library=$(dpkg -L libsqliteodbc 2>/dev/null | grep -m1 '/libsqlite3odbc\.so$' ||
        echo /usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so)
    echo "Registering the SQLite3 ODBC driver in $file" >&2
    append_ini "$file" "[SQLite3]
Description=SQLite 3 ODBC driver
Driver=$library"
    if ! name=$(sqlite_driver_name); then
        echo "error: unixODBC does not list the SQLite3 driver written to $file" >&2
        return 1
    fi
    printf '%s\n' "$name"
}

# The data source OrvandelDemo on an (empty) SQLite file under the demo folder.
prepare_demo_data_source() {
    local database driver file
    database="$(demo_home)/demo.sqlite"
    mkdir -p "$(dirname "$database")"
    if ! odbcinst -q -s -n "$demo_data_source" >/dev/null 2>&1; then
        driver=$(ensure_sqlite_driver) || return 1
        file=$(odbc_file "USER DATA SOURCES") || return 1
        echo "Adding the data source $demo_data_source to $file"
        append_ini "$file" "[$demo_data_source]
Description=Orvandel demo database (SQLite)
Driver=$driver
Database=$database
Timeout=5000"
        if ! odbcinst -q -s -n "$demo_data_source" >/dev/null 2>&1; then
            echo "error: unixODBC does not list the data source written to $file" >&2
            return 1
        fi
    fi
    # An empty file is an empty SQLite database.
    [ -e "$database" ] || : >"$database"
}

# The demo Paradox tables, written by the demo maker of a build.
prepare_demo_folder() { # demo maker
    local folder
    folder="$(demo_home)/demo-paradox"
    mkdir -p "$folder"
    "$1" "$folder"
}

# True when the [Orvandel] group of the settings file holds either key.
settings_stored() { # settings file
    [ -f "$1" ] && awk '
        /^[ \t]*\[/ { inside = ($0 ~ /^[ \t]*\[Orvandel\][ \t]*$/); next }
        inside && /^[ \t]*(ParadoxFolder|DataSourceName)[ \t]*=/ { found = 1 }
        END { exit !found }' "$1"
}

# A value in the settings file's syntax: quoted, with \ and " escaped.
settings_value() {
    local value=${1//\\/\\\\}
    printf '"%s"' "${value//\"/\\\"}"
}

# Settings pointing at the demo, unless some are stored already.
prepare_demo_settings() {
    local file keys tmp
    file=$(demo_settings_file)
    settings_stored "$file" && return 0
    echo "Storing the demo settings in $file"
    keys="ParadoxFolder=$(settings_value "$(demo_home)/demo-paradox")
DataSourceName=$demo_data_source"
    if [ -f "$file" ] && grep -qE '^[ \t]*\[Orvandel\][ \t]*$' "$file"; then
        # The group exists without the keys: put them at its head.
        tmp=$(mktemp "$file.XXXXXX")
        KEYS=$keys awk '{ print }
            /^[ \t]*\[Orvandel\][ \t]*$/ && !done { print ENVIRON["KEYS"]; done = 1 }' \
            "$file" >"$tmp"
        mv "$tmp" "$file"
    else
        append_ini "$file" "[Orvandel]
$keys"
    fi
}
