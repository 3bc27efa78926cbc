#!/usr/bin/env bash
# Makes the Debian package from an existing build (default build/ci), unpacks
# it into a throwaway root with dpkg -x, checks that the program, its menu
# entry, icons and metainfo are in their places and valid and that the package
# depends on the libraries the program needs, then starts the unpacked program
# on its own X server (Xvfb) and waits until its main window is shown.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/ci}"
title="QRV Veldmark"
work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
    for pid in $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

cmake --build "$build" --target veldmark >/dev/null
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=("$work"/out/*.deb)
[ -f "${deb[0]}" ] || fail "cpack made no .deb"
root="$work/root"
dpkg -x "${deb[0]}" "$root"

for f in bin/veldmark libexec/veldmark/veldmark-access-reader \
    share/applications/org.qrv.Veldmark.desktop \
    share/metainfo/org.qrv.Veldmark.metainfo.xml \
    share/icons/hicolor/scalable/apps/org.qrv.Veldmark.svg \
    share/icons/hicolor/48x48/apps/org.qrv.Veldmark.png \
    share/icons/hicolor/256x256/apps/org.qrv.Veldmark.png; do
    [ -s "$root/usr/$f" ] || fail "the package lacks /usr/$f"
done
desktop-file-validate "$root/usr/share/applications/org.qrv.Veldmark.desktop"
# The metainfo as installed: its launchable must name the installed menu entry.
appstreamcli validate-tree --no-net "$root" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log" >&2; fail "appstreamcli validate-tree failed"; }

depends="$(dpkg-deb -f "${deb[0]}" Depends)"
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libsqlite3-0 libpq5 libsqlcipher0 libmdb3; do
    [[ ", $depends," == *", $lib"[\ ,]* ]] || fail "Depends lacks $lib: $depends"
done

recommends="$(dpkg-deb -f "${deb[0]}" Recommends)"
for pkg in tdsodbc odbc-mariadb; do
    [[ ", $recommends," == *", $pkg,"* ]] || fail "Recommends lacks $pkg: $recommends"
done

# The unpacked program on a fresh X server, with settings of its own.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
XDG_CONFIG_HOME="$work/config" "$root/usr/bin/veldmark" >"$work/app.log" 2>&1 &
app_pid=$!
for _ in $(seq 150); do
    if xwininfo -root -tree 2>/dev/null | grep -q "\"$title\""; then
        echo "package-test: ${deb[0]##*/} installs and shows \"$title\" ($depends)"
        exit 0
    fi
    kill -0 "$app_pid" 2>/dev/null || { cat "$work/app.log" >&2; fail "the program ended"; }
    sleep 0.2
done
cat "$work/app.log" >&2
fail "no window \"$title\" within 30 s"
