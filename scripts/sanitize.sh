#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (the asan preset, in build/asan) and runs every
# test through CTest. The first bad memory access, undefined behaviour or
# leak ends its test program with a failure (see the asan test preset for
# the sanitizer options). PostgreSQL and MariaDB tests need the cluster and
# the server, as in test.sh; without them they run their SQLite cases only.
#   bash scripts/sanitize.sh [ctest arguments, e.g. -R robustness]
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake --preset asan "${launcher[@]}" >/dev/null
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j 2 "$@"
