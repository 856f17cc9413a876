#!/usr/bin/env bash
# The capture tool's notification of a failed capture, in a GNOME session (GNOME Shell is the
# notification service) that tests/desktops/with-desktop provides:   notify.sh SCREENCAPTURE
# A capture into a read-only folder posts exactly one notification holding the tool's message, read
# from the bus; a capture that succeeds and a wrong command line post none. Then, on a bus of its own
# each: with no notification service the tool fails as quickly as ever, and one that never answers
# holds it up about two seconds at most.
set -euo pipefail
source "$(dirname "$0")/../support/checks.sh"
source "$(dirname "$0")/../support/drive-kestrelle.sh"
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/notify.XXXXXX")
monitor=
trap '[ -z "$monitor" ] || kill "$monitor" 2>/dev/null; rm -rf "$work"' EXIT

# watch : records every Notify call and the service's answers from now on, in $work/bus.
watch() {
    dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
        "type='method_return',sender='org.freedesktop.Notifications'" >"$work/bus" 2>&1 &
    monitor=$!
    wait_for "the bus monitor" grep -q NameAcquired "$work/bus"
}
# unwatch : stops the recording a moment after the last capture, for a late notification to show.
unwatch() {
    sleep 1
    kill "$monitor"
    wait "$monitor" 2>/dev/null || true
    monitor=
}
# GNOME's service hands each notification on to the shell: only the calls to the service count.
notify_calls() { grep -c 'destination=org.freedesktop.Notifications .*member=Notify' "$work/bus" || true; }

# run TOOL ARGS... : runs the tool; sets status, its stderr in $work/err and seconds in took.
run() {
    local start=$EPOCHREALTIME
    status=0
    "$@" 2>"$work/err" || status=$?
    took=$(echo "$EPOCHREALTIME - $start" | bc)
}

# The shell takes the name a moment after it starts.
serving() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.GetNameOwner \
        org.freedesktop.Notifications >/dev/null 2>&1
}
wait_for "GNOME Shell to serve notifications" serving || exit 77

mkdir -m 0555 "$work/read-only"
mkdir "$work/shots"
watch
run "$tool" -x "$work/read-only/shot.png"
expect "a capture into a read-only folder fails" 1 "$status"
# The portal's capture first says where it kept the portal's picture; the failure is the last line.
message=$(tail -n 1 "$work/err" | sed -n 's/^screencapture: //p')
check "saying why on stderr" test -n "$message"
unwatch
sed 's/^/  # /' "$work/bus" | grep -v NameAcquired
expect "the failure posts exactly one notification" 1 "$(notify_calls)"
# Notify's arguments, one a line as dbus-monitor prints them: app_name, replaces_id, app_icon,
# summary, body.
mapfile -t args < <(sed -n '/destination=org.freedesktop.Notifications .*member=Notify/,/array/p' "$work/bus" |
    sed -n 's/^ *\(string\|uint32\) //p')
expect "from Kestrelle" '"Kestrelle"' "${args[0]}"
expect "saying the screenshot was not saved" '"Screenshot not saved"' "${args[3]}"
expect "with the tool's message as its body" "\"$message\"" "${args[4]}"
check "GNOME Shell took it, answering with its number" grep -qx ' *uint32 [1-9][0-9]*' "$work/bus"
check "and refused nothing" test -z "$(grep '^error' "$work/bus")"

watch
run "$tool" -x "$work/shots/shot.png"
expect "a capture that succeeds" 0 "$status"
run "$tool" -q
expect "a wrong command line" 2 "$status"
unwatch
expect "posts no notification" 0 "$(notify_calls)"

# Each on a bus that starts no service.
quiet_bus() { dbus-run-session --config-file="$here/../portal/session.conf" -- "$@"; }
run quiet_bus "$tool" -x "$work/read-only/shot.png"
expect "with no notification service the capture fails as it did" 1 "$status"
check "saying only why" test "$(wc -l <"$work/err")" -eq 1
check "without a wait (${took}s)" test "$(echo "$took < 1" | bc)" -eq 1
stuck_service() {
    /usr/bin/python3 -c 'import dbus, time; dbus.SessionBus().request_name("org.freedesktop.Notifications"); time.sleep(30)' &
    local service=$!
    owned() {
        gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
            -m org.freedesktop.DBus.GetNameOwner org.freedesktop.Notifications >/dev/null 2>&1
    }
    wait_for "the stuck service" owned
    local status=0
    "$@" || status=$?
    kill "$service"
    return "$status"
}
run quiet_bus bash -c "$(declare -f wait_for stuck_service); KESTRELLE_WAIT=10 stuck_service \"\$@\"" - "$tool" -x "$work/read-only/shot.png"
expect "a notification service that never answers" 1 "$status"
check "holds the tool up for two seconds at most (${took}s)" test "$(echo "$took < 3.5" | bc)" -eq 1
finish
