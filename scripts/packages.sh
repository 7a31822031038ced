# shellcheck shell=bash
# Shared by scripts/run and scripts/test: install Debian packages that are
# missing, with sudo when not root. Source it; it defines functions only.

# Runs a command as root (directly when already root).
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "error: '$*' needs root and sudo is not installed; run this script as root once." >&2
        return 1
    fi
}

package_installed() {
    dpkg -s "$1" 2>/dev/null | grep -q '^Status: install ok installed'
}

# Installs those of the named packages that are not installed yet.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        package_installed "$package" || missing+=("$package")
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# Packages needed to build and run the program (used by the sourcing scripts).
# shellcheck disable=SC2034
RUN_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev
              unixodbc unixodbc-dev odbcinst libsqliteodbc libuchardet-dev fonts-liberation)
