#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, starts a throwaway
# PostgreSQL cluster and MariaDB server, runs every test through CTest, makes
# the Debian package and starts the program from it, runs the window and the
# SQL editor benchmarks briefly, runs the tests again in the sanitizer build, runs each fuzz target
# for a few seconds and removes the cluster and the server.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci -j "$(nproc)"

source scripts/pg-cluster.sh
source scripts/mariadb-server.sh
pg_cluster_start
trap 'pg_cluster_stop; mariadb_server_stop' EXIT
mariadb_server_start

ctest --preset ci -j 2
bash scripts/package-test.sh build/ci
# A short run of the big-table benchmark, so that it keeps working; its
# figures at this size are not held against the targets.
bash scripts/bench-window.sh build/ci 20000
# A short run of the SQL editor's benchmark (completion, a 100,000-line
# script); it prints its figures against their targets, and a miss on a
# loaded machine is not held against the run.
QT_QPA_PLATFORM=offscreen build/ci/bench/bench_editor 3 || echo "bench_editor: a target missed (see above)"

bash scripts/sanitize.sh
bash scripts/fuzz.sh 10
