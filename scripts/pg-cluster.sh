# Sourced by scripts/test.sh: a throwaway PostgreSQL cluster for the tests.
#
# pg_cluster_start makes a cluster in a fresh temporary directory (run by the
# `postgres` system user when we are root), with its unix socket in that
# directory and a free TCP port on 127.0.0.1 (never 5432), and exports:
#   VELDMARK_PG_HOST      socket directory
#   VELDMARK_PG_PORT      port (socket and TCP)
#   VELDMARK_PG_DB        test database
#   VELDMARK_PG_USER      role that logs in with a password (socket and TCP)
#   VELDMARK_PG_PASSWORD  its password
#   VELDMARK_PG_BINDIR    server binaries, for tests that start their own cluster
# The role named like the OS user running the tests is the superuser; it logs
# in over the socket without a password (the "integrated security" identity).
# pg_cluster_stop stops the server and removes the directory; it is safe to
# call more than once and when the start failed.

VELDMARK_PG_BINDIR="${VELDMARK_PG_BINDIR:-/usr/lib/postgresql/15/bin}"
_pg_dir=""

_pg_as_server_user() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

_pg_port_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

_pg_try_start() {
    local port=$1
    _pg_as_server_user "$VELDMARK_PG_BINDIR/pg_ctl" -D "$_pg_dir/data" -l "$_pg_dir/server.log" \
        -w -t 30 -s start \
        -o "-k $_pg_dir -p $port -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        >/dev/null 2>&1
}

_pg_configure() {
    local os_user=$1
    cat >"$_pg_dir/data/pg_hba.conf" <<EOF
local all $os_user trust
local all all scram-sha-256
host all all 127.0.0.1/32 scram-sha-256
EOF
}

_pg_fail() {
    echo "pg-cluster: $1" >&2
    [ -f "$_pg_dir/server.log" ] && tail -n 20 "$_pg_dir/server.log" >&2
    pg_cluster_stop
    return 1
}

pg_cluster_start() {
    local os_user port tries
    os_user="$(id -un)"
    # Clean up even when `set -e` ends the caller half-way through the start.
    if [ -z "$(trap -p EXIT)" ]; then trap pg_cluster_stop EXIT; fi
    _pg_dir="$(mktemp -d /tmp/veldmark-pg.XXXXXX)" || return 1
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$_pg_dir"; fi

    _pg_as_server_user "$VELDMARK_PG_BINDIR/initdb" -D "$_pg_dir/data" -U "$os_user" -A trust \
        -E UTF8 --no-locale --no-sync >"$_pg_dir/initdb.log" 2>&1 ||
        { cat "$_pg_dir/initdb.log" >&2; _pg_fail "initdb failed"; return 1; }
    _pg_configure "$os_user"

    port=""
    for tries in 1 2 3 4 5 6 7 8; do
        local candidate=$((20000 + RANDOM % 30000))
        if _pg_port_free "$candidate" && _pg_try_start "$candidate"; then
            port=$candidate
            break
        fi
    done
    [ -n "$port" ] || { _pg_fail "the server did not start"; return 1; }

    export VELDMARK_PG_HOST="$_pg_dir"
    export VELDMARK_PG_PORT="$port"
    export VELDMARK_PG_DB="veldmark_test"
    export VELDMARK_PG_USER="veldmark_pw"
    export VELDMARK_PG_PASSWORD="pw'Veldmark1"
    export VELDMARK_PG_BINDIR

    "$VELDMARK_PG_BINDIR/psql" -X -q -v ON_ERROR_STOP=1 -h "$_pg_dir" -p "$port" -U "$os_user" \
        -d postgres >/dev/null <<EOF || { _pg_fail "could not create the test roles"; return 1; }
SET password_encryption = 'scram-sha-256';
CREATE ROLE veldmark_pw LOGIN PASSWORD 'pw''Veldmark1';
CREATE DATABASE veldmark_test OWNER veldmark_pw;
EOF
    echo "pg-cluster: PostgreSQL on $_pg_dir port $port"
}

pg_cluster_stop() {
    [ -n "$_pg_dir" ] || return 0
    if [ -f "$_pg_dir/data/postmaster.pid" ]; then
        _pg_as_server_user "$VELDMARK_PG_BINDIR/pg_ctl" -D "$_pg_dir/data" -m immediate -s stop \
            >/dev/null 2>&1 || true
    fi
    rm -rf "$_pg_dir"
    _pg_dir=""
    unset VELDMARK_PG_HOST VELDMARK_PG_PORT VELDMARK_PG_DB VELDMARK_PG_USER VELDMARK_PG_PASSWORD
    return 0
}
