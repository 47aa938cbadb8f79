#!/bin/sh
# Where the windows open on real screens: for each screen size, a virtual X
# server (Xvfb) with the openbox window manager, and the window test that
# opens the main window, the track view and the point details there and
# checks their frames as the window manager placed them.
#
#   screen_placement.sh WINDOW_TESTS
#
# Exits with 77, a skip for ctest, when Xvfb or openbox is not installed
# (scripts/install-deps.sh test installs them).
tests=$1
for tool in Xvfb openbox; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is not installed: the windows' placement on real screens is not tested"
        exit 77
    fi
done

work=$(mktemp -d)
server=""
manager=""
stop() {
    [ -n "$manager" ] && kill "$manager" 2>/dev/null && wait "$manager" 2>/dev/null
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    manager=""
    server=""
}
trap 'stop; rm -rf "$work"' EXIT

status=0
for size in 1366x768 1600x1000 1920x1080; do
    # A free display number, told by the server once it accepts clients
    # (the tests run in parallel, other servers may be running).
    : >"$work/display"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    server=$!
    tries=0
    while [ ! -s "$work/display" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
    if [ ! -s "$work/display" ]; then
        echo "Xvfb did not start at $size:"; cat "$work/xvfb.log"
        exit 1
    fi
    DISPLAY=:$(head -n 1 "$work/display")
    export DISPLAY
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    manager=$!
    # The window manager is up once it names itself on the root window.
    tries=0
    if command -v xprop >/dev/null 2>&1; then
        while ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
              [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
    else
        sleep 1
    fi
    echo "screen $size on $DISPLAY"
    QT_QPA_PLATFORM=xcb "$tests" --gtest_filter='MainWindow.OnARealScreen*' || status=1
    stop
done
exit $status
