#!/usr/bin/env bash
# The capture tool's notification of a failed capture, in GNOME (its shell serves notifications) that
# tests/desktops/with-desktop provides:   notify.sh SCREENCAPTURE
# A capture into a read-only folder posts exactly one notification holding the tool's message; a capture
# that succeeds and a wrong command line post none. On a bus of its own, with no notification service
# the tool fails as quickly as ever, and one that never answers holds it up about two seconds at most.
source "$(dirname "$0")/session.sh" "" "$1"
tool=$1

# run TOOL ARGS... : sets status, its stderr in $work/err and the seconds it took in took.
run() {
    local start=$EPOCHREALTIME
    status=0
    "$@" 2>"$work/err" || status=$?
    took=$(echo "$EPOCHREALTIME - $start" | bc)
}
# GNOME's service hands each notification on to the shell: only the calls to the service count, and
# a moment after the capture, for a late one to show.
notify_calls() { sleep 1; grep -c 'destination=org.freedesktop.Notifications .*member=Notify' "$work/calls" || true; }

wait_for "GNOME Shell to serve notifications" name_owned org.freedesktop.Notifications || exit 77
mkdir -m 0555 "$work/read-only"
monitor "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
    "type='method_return',sender='org.freedesktop.Notifications'"
run "$tool" -x "$work/read-only/shot.png"
# The portal's capture first says where it kept the portal's picture; the failure is the last line.
message=$(tail -n 1 "$work/err" | sed -n 's/^screencapture: //p')
check "a capture into a read-only folder fails, saying why on stderr" test "$status" -eq 1 -a -n "$message"
expect "the failure posts exactly one notification" 1 "$(notify_calls)"
# Notify's arguments as dbus-monitor prints them, one a line: app_name, replaces_id, app_icon, summary, body.
mapfile -t args < <(sed -n '/destination=org.freedesktop.Notifications .*member=Notify/,/array/p' "$work/calls" |
    sed -n 's/^ *\(string\|uint32\) //p')
expect "from Kestrelle, saying the screenshot was not saved, with the tool's message as its body" \
    "\"Kestrelle\" \"Screenshot not saved\" \"$message\"" "${args[0]} ${args[3]} ${args[4]}"
check "GNOME Shell took it, answering with its number" grep -qx ' *uint32 [1-9][0-9]*' "$work/calls"
check "and refused nothing" test -z "$(grep '^error' "$work/calls")"

run "$tool" -x "$work/shot.png"
expect "a capture that succeeds" 0 "$status"
run "$tool" -q
expect "a wrong command line" 2 "$status"
expect "posts no notification" 1 "$(notify_calls)"

# Each on a bus that starts no service.
quiet_bus() { dbus-run-session --config-file="$here/../portal/session.conf" -- "$@"; }
run quiet_bus "$tool" -x "$work/read-only/shot.png"
expect "with no notification service the capture fails as it did" 1 "$status"
check "saying only why" test "$(wc -l <"$work/err")" -eq 1
check "without a wait (${took}s)" test "$(echo "$took < 1" | bc)" -eq 1
stuck_service() {
    /usr/bin/python3 -c 'import dbus, time; dbus.SessionBus().request_name("org.freedesktop.Notifications"); time.sleep(30)' &
    wait_for "the stuck service" name_owned org.freedesktop.Notifications
    local status=0
    "$@" || status=$?
    kill $!
    return "$status"
}
run quiet_bus bash -c "$(declare -f wait_for name_owned stuck_service); KESTRELLE_WAIT=10 stuck_service \"\$@\"" - \
    "$tool" -x "$work/read-only/shot.png"
expect "a notification service that never answers" 1 "$status"
check "holds the tool up for two seconds at most (${took}s)" test "$(echo "$took < 3.5" | bc)" -eq 1
finish
