#!/usr/bin/env bash
# Runs the window benchmark twice on one private X server, as is and with the
# accessibility bridge on (a D-Bus session bus, the AT-SPI bus started by
# at-spi-bus-launcher, QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1), prints both runs
# and each figure with the bridge against the same figure without it. The
# bridge loads only on a real display, so both runs use the xcb platform.
# With the bridge, a screen reader in a process of its own (bench/a11y_client)
# reads the grid's first cell over the AT-SPI bus while the rows are read.
# A time within 0.03 s of the one without the bridge passes too: input that
# comes while rows are read waits for the step under way (about 0.02 s) by
# chance, so one run cannot tell such times apart.
#
#   bash scripts/bench-a11y.sh [build dir] [rows] [file for the run without]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
rows=${2:-1000000}
keep=${3:-}
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

echo "-- without the accessibility bridge"
"$build/bench/bench_window" "$rows" 2> /dev/null | tee "$out/plain.txt"
echo "-- with the accessibility bridge"
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 dbus-run-session -- bash -c \
    '"$1" & sleep 0.5; "$2/bench/bench_window" "$3"; kill $!' _ "$launcher" "$build" "$rows" \
    2> /dev/null | tee "$out/bridge.txt"
[[ -n "$keep" ]] && cp "$out/plain.txt" "$keep"

echo "-- accessibility bridge on against off, $rows rows"
# Every line with a pass or fail of its own, by its measure (the first 44
# columns) and its figure (the first number after them).
grep -E '(pass|FAIL)$' "$out/plain.txt" | cut -c1-44 | while IFS= read -r measure; do
    on=$(grep -F "$measure" "$out/bridge.txt" | head -1 | cut -c45- | awk '{print $1}')
    off=$(grep -F "$measure" "$out/plain.txt" | head -1 | cut -c45- | awk '{print $1}')
    unit=$(grep -F "$measure" "$out/plain.txt" | head -1 | cut -c45- | awk '{print $2}')
    [[ -z "$on" ]] && { echo "bridge: $measure: not measured with the bridge (FAIL)"; continue; }
    awk -v m="$measure" -v on="$on" -v off="$off" -v unit="$unit" 'BEGIN {
        r = off > 0 ? on / off : 1
        pass = r <= 1.1 || (unit == "s" && on - off <= 0.03)
        printf "bridge: %-36s %8.3f  without %8.3f  ratio %5.2f  target <= 1.10  %s\n", substr(m, 1, 36), on, off, r, (pass ? "pass" : "FAIL") }'
done
grep -q "accessibility bridge on" "$out/bridge.txt" || echo "bridge: did not load (FAIL)"
