#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for the given number of
# seconds (default 60), starting from its corpus in fuzz/corpus/<name>.
#   bash scripts/fuzz.sh [seconds]
# New inputs go to build/fuzz/found/<name>; with FUZZ_MERGE=1 those that add
# coverage are merged into the corpus in the repository. A crash, hang or
# broken invariant stops the run with the failing input saved in
# build/fuzz/artifacts and a non-zero exit.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
cmake --build build/fuzz -j "$(nproc)" >/dev/null

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
mkdir -p build/fuzz/artifacts
for target in connstring sqllexer parameters; do
    corpus="fuzz/corpus/$target"
    found="build/fuzz/found/$target"
    mkdir -p "$found"
    echo "fuzz_$target: ${seconds}s"
    build/fuzz/"fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/"$target"- \
        "$found" "$corpus" 2>build/fuzz/"$target".log ||
        { tail -n 40 build/fuzz/"$target".log; exit 1; }
    grep -E "stat::number_of_executed_units|stat::new_units_added" build/fuzz/"$target".log |
        tr '\n' ' '
    echo
    if [ "${FUZZ_MERGE:-0}" = 1 ]; then
        build/fuzz/"fuzz_$target" -merge=1 -max_len=4096 "$corpus" "$found" 2>/dev/null
    fi
done
