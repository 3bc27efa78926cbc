#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need.
# Skips apt-get entirely when everything is already installed.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev libqscintilla2-qt6-dev
    libsqlite3-dev sqlite3 libsqlcipher0 sqlcipher
    libpq-dev postgresql postgresql-client
    libmariadb-dev
    unixodbc-dev unixodbc odbc-mariadb odbc-postgresql libsqliteodbc tdsodbc
    mariadb-server mariadb-client
    libmdb3 mdbtools-dev mdbtools
    xvfb xauth x11-utils fonts-dejavu-core
    clang libclang-rt-14-dev clang-format
    desktop-file-utils appstream dpkg-dev libmdb3
    xdotool openbox imagemagick optipng
    at-spi2-core dbus-daemon
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
