# Sourced by scripts/test.sh: a throwaway MariaDB server for the tests.
#
# mariadb_server_start makes a server in a fresh temporary directory (run by
# the `mysql` system user when we are root), with its unix socket in that
# directory and a free TCP port on 127.0.0.1 (never 3306), and exports:
#   VELDMARK_MARIADB_SOCKET    socket path
#   VELDMARK_MARIADB_PORT      TCP port
#   VELDMARK_MARIADB_DB        test database
#   VELDMARK_MARIADB_USER      login with a password, allowed to create databases
#   VELDMARK_MARIADB_PASSWORD  its password
# The OS user running the tests logs in over the socket without a password
# (unix_socket: the "integrated security" identity) and may do anything.
# mariadb_server_stop stops the server and removes the directory; it is safe
# to call more than once and when the start failed.

_mdb_dir=""
_mdb_pid=""

_mdb_as_server_user() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u mysql -- "$@"
    else
        "$@"
    fi
}

_mdb_port_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

_mdb_fail() {
    echo "mariadb-server: $1" >&2
    [ -f "$_mdb_dir/server.log" ] && tail -n 20 "$_mdb_dir/server.log" >&2
    mariadb_server_stop
    return 1
}

# Starts mariadbd on `port` and waits up to 30 s for its socket to answer.
# As root the server itself changes to the `mysql` user, so that the process
# started here is the server and stopping it stops the server.
_mdb_try_start() {
    local port=$1 i user=()
    if [ "$(id -u)" -eq 0 ]; then user=(--user=mysql); fi
    /usr/sbin/mariadbd --no-defaults "${user[@]}" --datadir="$_mdb_dir/data" \
        --socket="$_mdb_dir/mysqld.sock" --port="$port" --bind-address=127.0.0.1 \
        --pid-file="$_mdb_dir/mysqld.pid" --log-error="$_mdb_dir/server.log" \
        --skip-log-bin --innodb-flush-log-at-trx-commit=0 --innodb-buffer-pool-size=64M \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
        >/dev/null 2>&1 &
    _mdb_pid=$!
    for i in $(seq 1 300); do
        if mariadb --no-defaults -S "$_mdb_dir/mysqld.sock" -u "$(id -un)" -e "SELECT 1" \
            >/dev/null 2>&1; then
            return 0
        fi
        kill -0 "$_mdb_pid" 2>/dev/null || { _mdb_pid=""; return 1; }
        sleep 0.1
    done
    kill -KILL "$_mdb_pid" 2>/dev/null
    wait "$_mdb_pid" 2>/dev/null
    _mdb_pid=""
    return 1
}

mariadb_server_start() {
    local os_user port tries
    os_user="$(id -un)"
    # Clean up even when `set -e` ends the caller half-way through the start.
    if [ -z "$(trap -p EXIT)" ]; then trap mariadb_server_stop EXIT; fi
    _mdb_dir="$(mktemp -d /tmp/veldmark-mariadb.XXXXXX)" || return 1
    chmod 755 "$_mdb_dir"
    if [ "$(id -u)" -eq 0 ]; then chown mysql: "$_mdb_dir"; fi

    _mdb_as_server_user mariadb-install-db --no-defaults --datadir="$_mdb_dir/data" \
        --auth-root-authentication-method=socket --skip-test-db \
        >"$_mdb_dir/install.log" 2>&1 ||
        { cat "$_mdb_dir/install.log" >&2; _mdb_fail "mariadb-install-db failed"; return 1; }

    port=""
    for tries in 1 2 3 4 5 6 7 8; do
        local candidate=$((20000 + RANDOM % 30000))
        if _mdb_port_free "$candidate" && _mdb_try_start "$candidate"; then
            port=$candidate
            break
        fi
    done
    [ -n "$port" ] || { _mdb_fail "the server did not start"; return 1; }

    export VELDMARK_MARIADB_SOCKET="$_mdb_dir/mysqld.sock"
    export VELDMARK_MARIADB_PORT="$port"
    export VELDMARK_MARIADB_DB="veldmark_test"
    export VELDMARK_MARIADB_USER="veldmark_pw"
    export VELDMARK_MARIADB_PASSWORD="pw'Veldmark1"

    mariadb --no-defaults -S "$VELDMARK_MARIADB_SOCKET" -u "$os_user" >/dev/null <<SQL ||
CREATE USER IF NOT EXISTS '$os_user'@'localhost' IDENTIFIED VIA unix_socket;
GRANT ALL ON *.* TO '$os_user'@'localhost' WITH GRANT OPTION;
CREATE USER 'veldmark_pw'@'localhost' IDENTIFIED BY 'pw''Veldmark1';
CREATE USER 'veldmark_pw'@'127.0.0.1' IDENTIFIED BY 'pw''Veldmark1';
GRANT ALL ON *.* TO 'veldmark_pw'@'localhost';
GRANT ALL ON *.* TO 'veldmark_pw'@'127.0.0.1';
CREATE DATABASE veldmark_test CHARACTER SET utf8mb4;
SQL
        { _mdb_fail "could not create the test logins"; return 1; }
    echo "mariadb-server: MariaDB on $VELDMARK_MARIADB_SOCKET port $port"
}

mariadb_server_stop() {
    [ -n "$_mdb_dir" ] || return 0
    if [ -n "$_mdb_pid" ] && kill -0 "$_mdb_pid" 2>/dev/null; then
        kill -KILL "$_mdb_pid" 2>/dev/null || true
        wait "$_mdb_pid" 2>/dev/null || true
    fi
    rm -rf "$_mdb_dir"
    _mdb_dir=""
    _mdb_pid=""
    unset VELDMARK_MARIADB_SOCKET VELDMARK_MARIADB_PORT VELDMARK_MARIADB_DB \
        VELDMARK_MARIADB_USER VELDMARK_MARIADB_PASSWORD
    return 0
}
