#!/usr/bin/env bash
# Installs what is missing, builds the program, creates the demo databases
# (once; later runs keep your changes) and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target veldmark

demo="$PWD/build/demo"
if [ ! -f "$demo/veldmark-demo.db" ] || [ ! -f "$demo/veldmark-demo-protected.db" ]; then
    bash scripts/make-demo.sh "$demo" >/dev/null
fi

cat <<TEXT

Veldmark is starting. Choose Database > Open Access (MDB), switch the file type
to "SQLite database" and open:
    $demo/veldmark-demo.db
The password-protected copy is
    $demo/veldmark-demo-protected.db
and its password is: veldmark

TEXT

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No graphical session found (DISPLAY is not set); start it from a desktop session." >&2
    exit 1
fi
exec build/dev/app/veldmark
