#!/usr/bin/env bash
# Runs the window benchmark twice on one private X server, as is and with the
# accessibility bridge on (a D-Bus session bus, the AT-SPI bus started by
# at-spi-bus-launcher, QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1), and prints each
# figure with the bridge against the same figure without it. The bridge loads
# only on a real display, so both runs use the xcb platform.
#
#   bash scripts/bench-a11y.sh [build dir] [rows]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
rows=${2:-1000000}
launcher=$(ls /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher 2>/dev/null | head -1 || true)
if [[ -z "$launcher" ]] || ! command -v dbus-run-session > /dev/null; then
    echo "accessibility bridge: not measured (at-spi2-core and dbus-daemon are needed)"
    exit 0
fi

out=$(mktemp -d)
trap 'kill "${xvfb:-}" 2> /dev/null || true; rm -rf "$out"' EXIT
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3> "$out/display" 2> /dev/null &
xvfb=$!
for _ in $(seq 50); do [[ -s "$out/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$out/display")" QT_QPA_PLATFORM=xcb

"$build/bench/bench_window" "$rows" 2> /dev/null > "$out/plain.txt"
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 dbus-run-session -- bash -c \
    '"$1" & sleep 0.5; "$2/bench/bench_window" "$3"; kill $!' _ "$launcher" "$build" "$rows" \
    2> /dev/null > "$out/bridge.txt"

echo "== accessibility bridge on against off, $rows rows"
for measure in 'click in the tree until' 'memory added by the window' 'title-click sort'; do
    on=$(grep -F "$measure" "$out/bridge.txt" | cut -c45- | awk '{print $1}')
    off=$(grep -F "$measure" "$out/plain.txt" | cut -c45- | awk '{print $1}')
    awk -v m="$measure" -v on="$on" -v off="$off" 'BEGIN {
        r = on / off
        printf "%-44s %8.3f  without %8.3f  ratio %5.2f  target <= 1.10  %s\n", "bridge: " m, on, off, r, (r <= 1.1 ? "pass" : "FAIL") }'
done
grep -F "first cell read through" "$out/bridge.txt"
grep -q "accessibility bridge on" "$out/bridge.txt" || echo "bridge: did not load (FAIL)"
