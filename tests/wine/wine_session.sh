#!/bin/sh
# A Wine session for the wine suite: one private Wine prefix with its own virtual X server
# (Xvfb) and one warm wineserver, made once before the suite's tests and ended after them (the
# CTest fixture "wine_session"), so that each test runs as a process of its own without paying
# for a prefix of its own.
#
#   wine_session.sh start FILE               makes a session and describes it in FILE
#   wine_session.sh end FILE                 ends the session FILE describes
#   wine_session.sh run FILE PROGRAM [ARG...] runs a Windows program in that session
#   wine_session.sh device FILE PROGRAM [ARG...] runs it there on a fresh device: an empty
#                                            folder mapped to a free drive letter, the program's
#                                            current folder at its root; both go when it ends
#
# FILE holds NAME=VALUE lines: what a Windows program needs in its environment (WINEPREFIX,
# WINEDEBUG, WINEDLLOVERRIDES, DISPLAY) and the session's folder (NX_WINE_FOLDER).
#
# Nothing outlives a session: ending its wineserver ends everything else (a watcher ends the X
# server and removes the folder once the server is gone). A session whose end never comes, as
# when the test run is killed, ends by itself ten minutes after its last Windows program, and a
# start over a FILE that still describes a session ends that one first.
set -eu

# How long the wineserver stays after its last program: longer than any pause between two
# tests of one run, short enough that an abandoned session goes soon.
linger=600

value() { sed -n "s/^$1=//p" "$2"; }

usage() {
    echo "usage: wine_session.sh start|end FILE, or run|device FILE PROGRAM [ARG...]" >&2
    exit 1
}

end_session() {
    [ -f "$1" ] || return 0
    folder=$(value NX_WINE_FOLDER "$1")
    xvfb=$(value NX_WINE_XVFB "$1")
    case $folder in
    /tmp/nxwine-*) ;;
    *)
        echo "wine_session: $1 describes no session" >&2
        exit 1
        ;;
    esac
    WINEPREFIX=$folder/prefix timeout -k 5 30 wineserver -k >/dev/null 2>&1 || true
    # The watcher ends the X server and removes the folder once the server is gone; should it
    # not have, this does.
    tries=0
    while [ -d "$folder" ] && [ $tries -lt 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if [ -d "$folder" ] && [ "$(cat "/proc/$xvfb/comm" 2>/dev/null)" = Xvfb ]; then
        kill "$xvfb" || true
    fi
    rm -rf "$folder" "$1"
}

# Undoes a start that failed half-way, and says why.
abandon() {
    WINEPREFIX=$folder/prefix timeout -k 5 30 wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$folder"
    echo "wine_session: $1" >&2
    exit 1
}

start_session() {
    end_session "$1"
    folder=$(mktemp -d /tmp/nxwine-XXXXXX)
    mkdir "$folder/prefix"
    # In a session of its own (setsid), as is the watcher below: an interrupt of the test run
    # leaves them to end as the session does.
    setsid Xvfb -displayfd 3 -screen 0 480x640x24 -nolisten tcp -noreset \
        3>"$folder/display" </dev/null >/dev/null 2>&1 &
    xvfb=$!
    # Xvfb writes its display number and a newline once it accepts connections.
    tries=0
    while ! grep -q . "$folder/display" && [ $tries -lt 300 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    display=$(head -n 1 "$folder/display")
    [ -n "$display" ] || abandon "Xvfb did not start"

    export WINEPREFIX="$folder/prefix" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    export DISPLAY=":$display"
    # The server first, so that every program after it starts warm. Without a window manager,
    # Wine draws the windows' captions itself only when asked to.
    timeout -k 5 30 wineserver -p$linger </dev/null >/dev/null 2>&1 ||
        abandon "wineserver did not start"
    timeout -k 5 180 wineboot -i </dev/null >/dev/null 2>&1 ||
        abandon "cannot make the Wine prefix in $WINEPREFIX"
    timeout -k 5 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
        </dev/null >/dev/null 2>&1 || abandon "cannot set up the Wine prefix in $WINEPREFIX"
    # The dialog table's program shows a dialog for each of its rows. Its windows are left to
    # Wine itself (not managed): a managed window that goes waits two seconds for a window
    # manager, which the session lacks. The keys reach the dialog the same way either way.
    timeout -k 5 60 wine reg add \
        'HKCU\Software\Wine\AppDefaults\window_contract_tests.exe\X11 Driver' \
        /v Managed /d N /f </dev/null >/dev/null 2>&1 ||
        abandon "cannot set up the Wine prefix in $WINEPREFIX"
    setsid sh -c 'wineserver -w; kill "$1"; rm -rf "$2"' sh "$xvfb" "$folder" \
        </dev/null >/dev/null 2>&1 &

    printf '%s\n' "NX_WINE_FOLDER=$folder" "NX_WINE_XVFB=$xvfb" "WINEPREFIX=$WINEPREFIX" \
        "WINEDEBUG=$WINEDEBUG" "WINEDLLOVERRIDES=$WINEDLLOVERRIDES" "DISPLAY=$DISPLAY" \
        >"$1.new"
    mv -f "$1.new" "$1"
}

run_in_session() {
    [ -f "$1" ] || {
        echo "wine_session: no session in $1 (start one first)" >&2
        exit 1
    }
    WINEPREFIX=$(value WINEPREFIX "$1")
    WINEDEBUG=$(value WINEDEBUG "$1")
    WINEDLLOVERRIDES=$(value WINEDLLOVERRIDES "$1")
    DISPLAY=$(value DISPLAY "$1")
    export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES DISPLAY
    shift
    exec wine "$@"
}

# The device's folder lies in the session's, so that a run killed before it could clean up
# leaves nothing behind the session; its drive letter is taken by making the link (another run
# may hold a letter).
run_on_device() {
    [ -f "$1" ] || {
        echo "wine_session: no session in $1 (start one first)" >&2
        exit 1
    }
    devices=$(value NX_WINE_FOLDER "$1")/devices
    dosdevices=$(value WINEPREFIX "$1")/dosdevices
    mkdir -p "$devices"
    device=$(mktemp -d "$devices/device-XXXXXX")
    drive=
    for letter in d e f g h i j k l m n o p q r s t u v w x y; do
        if ln -s "$device" "$dosdevices/$letter:" 2>/dev/null; then
            drive=$dosdevices/$letter:
            break
        fi
    done
    if [ -z "$drive" ]; then
        rm -rf "$device"
        echo "wine_session: no drive letter free in $dosdevices" >&2
        exit 1
    fi
    status=0
    (cd "$device" && run_in_session "$@") || status=$?
    rm -f "$drive"
    rm -rf "$device"
    exit $status
}

[ $# -ge 2 ] || usage
case $1 in
start) [ $# -eq 2 ] || usage; start_session "$2" ;;
end) [ $# -eq 2 ] || usage; end_session "$2" ;;
run) [ $# -ge 3 ] || usage; shift; run_in_session "$@" ;;
device) [ $# -ge 3 ] || usage; shift; run_on_device "$@" ;;
*) usage ;;
esac
