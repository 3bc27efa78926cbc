#!/usr/bin/env bash
# Runs the window benchmark (bench/bench_window.cpp) at several table sizes
# and prints how each figure grows from one size to the next. With the
# PostgreSQL cluster of scripts/pg-cluster.sh started, the PostgreSQL row is
# measured too.
#
#   bash scripts/bench-window.sh [build dir] [sizes...]
#   bash scripts/bench-window.sh build/dev 100000 1000000 10000000
#
# The 10,000,000-row table takes about 1.3 GB in /tmp/veldmark-bench and a
# few minutes to build the first time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
shift || true
sizes=("${@:-100000 1000000}")
read -r -a sizes <<< "${sizes[*]}"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

out=$(mktemp -d)
for n in "${sizes[@]}"; do
    echo "== $n rows"
    "$build/bench/bench_window" "$n" 2>/dev/null | tee "$out/$n.txt"
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
        value=$(grep -F "$measure" "$out/$n.txt" | cut -c45- | awk '{print $1}')
        if [[ -n "$previous" && "$previous" != "0.00" ]]; then
            printf '%8s (x%4.1f)' "$value" "$(awk -v a="$value" -v b="$previous" 'BEGIN{print a/b}')"
        else
            printf '%14s' "$value"
        fi
        previous=$value
    done
    echo
done
rm -rf "$out"

# The same figures with the accessibility bridge on, at the largest size.
bash scripts/bench-a11y.sh "$build" "${sizes[-1]}"
