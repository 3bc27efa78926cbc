#!/usr/bin/env bash
# Builds the program in a release build of its own (build/release, without
# the tests) and makes its Debian package in build/package/. Install it with
#   sudo apt install ./build/package/*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVELDMARK_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target veldmark
rm -f build/package/*.deb
cpack --config build/release/CPackConfig.cmake -B build/package
ls build/package/*.deb
