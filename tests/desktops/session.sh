# shellcheck shell=bash
# The end-to-end driver (tests/e2e/lib.sh) on the session's own bus, for the scripts that with-desktop runs:
#   source session.sh KESTRELLE [SCREENCAPTURE] [CLOSE_WINDOW]
session_bus=$DBUS_SESSION_BUS_ADDRESS
# shellcheck source=../e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh" "$1" "${2:-}" "${3:-}"
export DBUS_SESSION_BUS_ADDRESS=$session_bus
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Processes of the script's own (a bus monitor, a tray), stopped before the session ends.
helpers=()
trap 'status=$?; [ ${#helpers[@]} -eq 0 ] || kill "${helpers[@]}" 2>/dev/null; end_session $status' EXIT

# stage_wrapped DIR BODY : Kestrelle beside a capture tool whose script is BODY; in it "$DIR/record"
# records the start as the end-to-end recorder does (in $starts), and "$DIR/real" is the real tool.
stage_wrapped() {
    stage_with_recorder "$1"
    mv "$1/screencapture" "$1/record"
    [ -z "$real_tool" ] || cp "$real_tool" "$1/real"
    printf '#!/bin/bash\n%s\n' "$2" >"$1/screencapture"
    chmod +x "$1/screencapture"
}

# monitor RULE... : the bus messages that match, from now on, in $work/calls.
monitor() {
    dbus-monitor --session "$@" >"$work/calls" 2>&1 &
    helpers+=($!)
    wait_for "the bus monitor" grep -q NameAcquired "$work/calls"
}
calls() { grep -c "member=$1" "$work/calls" || true; }

name_owned() {
    gdbus call --session -d org.freedesktop.DBus -o / -m org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

# application METHOD ARGS... : as the desktop's launcher calls Kestrelle.
application() {
    gdbus call --session -d io.github.kestrelle.Kestrelle -o /io/github/kestrelle/Kestrelle \
        -m "org.freedesktop.Application.$1" "${@:2}"
}
