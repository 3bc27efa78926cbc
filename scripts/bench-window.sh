#!/usr/bin/env bash
# Runs the window benchmark (bench/bench_window.cpp) at several table sizes,
# each with and without the accessibility bridge where it can be started
# (scripts/bench-a11y.sh), prints how each figure grows from one size to the
# next, and ends with one line saying whether every target was met. With the
# PostgreSQL cluster of scripts/pg-cluster.sh and the MariaDB server of
# scripts/mariadb-server.sh started, their rows are measured too.
#
#   bash scripts/bench-window.sh [build dir] [sizes...]
#   bash scripts/bench-window.sh build/ci 1000000 10000000 30000000
#
# The big tables are built once in /tmp/veldmark-bench: the 10,000,000-row
# one takes 1.2 GB and two minutes, the 30,000,000-row one 3.6 GB and six;
# the whole run at those three sizes takes about half an hour and 8 GB of
# memory.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
shift || true
sizes=("${@:-100000 1000000}")
read -r -a sizes <<< "${sizes[*]}"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for n in "${sizes[@]}"; do
    echo "== $n rows"
    bash scripts/bench-a11y.sh "$build" "$n" "$out/$n.txt" | tee "$out/$n.all"
    if [[ ! -s "$out/$n.txt" ]]; then
        "$build/bench/bench_window" "$n" 2>/dev/null | tee "$out/$n.txt" | tee -a "$out/$n.all"
    fi
done

# Each measure's own figure (the first number of its line) at each size, and
# its growth against the size before: a factor near the size's own factor
# means linear growth.
echo
echo "== growth"
printf '%-44s' "measure"
for n in "${sizes[@]}"; do printf '%14s' "$n"; done
echo
grep -E '^[A-Za-z].*(pass|FAIL)$' "$out/${sizes[0]}.txt" | cut -c1-44 | while IFS= read -r measure; do
    printf '%-44s' "$measure"
    previous=""
    for n in "${sizes[@]}"; do
        value=$(grep -F "$measure" "$out/$n.txt" | head -1 | cut -c45- | awk '{print $1}')
        if [[ -n "$previous" && "$previous" != "0.00" && "$previous" != "0.000" ]]; then
            printf '%8s (x%4.1f)' "$value" "$(awk -v a="$value" -v b="$previous" 'BEGIN{print (b > 0 ? a/b : 0)}')"
        else
            printf '%14s' "$value"
        fi
        previous=$value
    done
    echo
done

missed=$(cat "$out"/*.all | grep -c 'FAIL' || true)
echo
if [[ "$missed" -eq 0 ]]; then
    echo "window benchmark at ${sizes[*]} rows: every target met"
else
    echo "window benchmark at ${sizes[*]} rows: $missed targets missed"
fi
