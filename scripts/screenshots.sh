#!/usr/bin/env bash
# Refreshes the screenshots in docs/screenshots/ from the real program.
#
#   bash scripts/screenshots.sh            # builds build/dev's program first
#   VELDMARK_BIN=/usr/bin/veldmark bash scripts/screenshots.sh   # an installed one
#
# It makes the demo database (scripts/make-demo.sh) in a folder of its own,
# starts a private X server (Xvfb, 1024x700) with the openbox window manager
# and the program with empty settings, and drives the program as a person
# would, with xdotool key presses and mouse clicks: Database > Open Access
# (MDB), the file name typed into the Open dialog, then clicks in the tree and
# in the data windows. After each step it waits for the window title that
# step brings and saves the screen with ImageMagick's import:
#   main-window.png    the main window with the database tree
#   table-view.png     the customers table in its grid
#   freehand.png       the freehand window with a query's result
#   sql-editor.png     a script's result tabs, completion open on a join
#   master-detail.png  customers and their orders in the master-detail window
#   go-to-reference.png, referenced-row.png  an order's customer and back
#   lookup-list.png    the customers offered when editing an order's key
#   key-tooltip.png    what the foreign-key title's tooltip says
#   referring-rows.png the tables whose rows refer to a customer
#   refused-delete.png a delete refused, naming the table that still refers
#   server-dialog.png  the server connection dialog
# The clicks are at fixed screen positions, which hold for this screen size
# and the fonts scripts/install-deps.sh installs; if a layout changes, look
# at the images and adjust the positions below. Needs nothing on screen:
# it runs without a desktop session.
set -euo pipefail
cd "$(dirname "$0")/.."

[ -n "${VELDMARK_SKIP_DEPS:-}" ] || bash scripts/install-deps.sh
bin="${VELDMARK_BIN:-}"
if [ -z "$bin" ]; then
    cmake --preset dev >/dev/null
    cmake --build --preset dev -j "$(nproc)" --target veldmark >/dev/null
    bin="$PWD/build/dev/app/veldmark"
fi
out="$PWD/docs/screenshots"
mkdir -p "$out"

# A fixed folder, so that the path shown in the status panel is the same on
# every run.
demo="${TMPDIR:-/tmp}/veldmark-demo"
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work" "$demo"
}
trap cleanup EXIT
bash scripts/make-demo.sh "$demo" >/dev/null

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
XDG_CONFIG_HOME="$work/config" "$bin" >"$work/app.log" 2>&1 &
pids+=($!)

# Waits (at most 20 s) for a window whose whole title is $1.
await() {
    timeout 20 xdotool search --sync --name "^$1\$" >/dev/null ||
        { cat "$work/app.log" >&2; echo "screenshots: no window \"$1\"" >&2; exit 1; }
    sleep 0.8 # the window paints itself
}
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.4; }
shot() {
    import -window root "$out/$1.png"
    optipng -quiet -o3 "$out/$1.png"
    echo "$out/$1.png"
}

await "QRV Veldmark"
xdotool key alt+d o # Database > Open Access (MDB)
await "Open"
xdotool type --delay 10 "$demo/veldmark-demo.db"
xdotool key Return
sleep 1.5
shot main-window

xdotool key Down Down Down Down Return # Misc, Query, Master detail, Tables, customers
await "QRV Veldmark - \[TABLE: customers\]"
shot table-view

click 58 119 # Query
await "QRV Veldmark - \[\"Freehand\" query\]"
xdotool type --delay 5 "SELECT city, count(*) AS orders, round(sum(total), 2) AS revenue"
xdotool key Return
xdotool type --delay 5 "FROM customer_orders GROUP BY city ORDER BY revenue DESC"
click 974 133 # Refresh
sleep 1
shot freehand

# A script of three statements run whole (two result tabs and the
# Messages), then a join typed below it with the completion list open on
# the join condition of the declared key. Escape closes the list a name
# typed may open, so that Return starts a line.
xdotool key ctrl+a
for line in "SELECT city, count(*) AS orders FROM customer_orders GROUP BY city;" \
    "UPDATE orders SET status = 'paid' WHERE status = 'new';" \
    "SELECT status, count(*) AS orders FROM orders GROUP BY status;"; do
    xdotool type --delay 5 "$line"
    xdotool key Escape Return
done
xdotool key ctrl+shift+Return
sleep 1
xdotool key Return
xdotool type --delay 30 "SELECT * FROM customers c JOIN orders o ON "
sleep 1
shot sql-editor
xdotool key Escape

click 77 132 # Master detail
await "QRV Veldmark - \[Master-detail\]"
xdotool key Down # the master list has the focus: its first table, customers
sleep 0.5
click 240 169 # the child list opens
xdotool type --delay 10 "o" # its first table starting with o: orders
xdotool key Return
sleep 0.5
click 389 133 # master field id
click 533 146 # child field customer_id
click 642 123 # >
click 976 142 # Refresh
click 300 379 # the third customer
sleep 0.5
shot master-detail

# The relationships the demo declares: from an order to its customer and
# back, the lookup list of customers, the key's title, the rows that refer
# to a customer, and a delete the key refuses.
click 59 183 # orders
await "QRV Veldmark - \[TABLE: orders\]"
xdotool mousemove 280 227 click 3 # the third order's customer_id
sleep 0.8
shot go-to-reference
xdotool key Escape
xdotool key ctrl+Return # Go to the referenced row
await "QRV Veldmark - \[TABLE: customers\]"
shot referenced-row
xdotool key alt+Left # back to the order
await "QRV Veldmark - \[TABLE: orders\]"
xdotool key F2 # the customer_id cell's lookup list
sleep 1
shot lookup-list
xdotool key Escape Escape
xdotool mousemove 255 168 # the customer_id title
sleep 2
shot key-tooltip
xdotool key alt+Right # forward to the customer
await "QRV Veldmark - \[TABLE: customers\]"
xdotool mousemove 280 227 click 3
sleep 0.5
xdotool key r # Show rows that refer to this row
sleep 0.8
shot referring-rows
xdotool key Escape Escape
xdotool key alt+Delete # Delete the record: asked, then refused by the key
sleep 0.8
xdotool key Return
sleep 1
shot refused-delete
xdotool key Return

click 52 27 # Database
click 83 117 # Disconnect
sleep 1
xdotool key alt+d s # Database > Open SQLServer
await "SQL Server connection..."
shot server-dialog
