#!/usr/bin/env bash
# The capture tool with GNOME's own portal and notifications (tests/desktops/with-desktop gnome):
#   portal.sh SCREENCAPTURE
source "$(dirname "$0")/session.sh" "" "$1"
tool=$1

# run CMD ARGS... : sets status, err (the stderr) and ms (the wall time).
run() {
    local start=${EPOCHREALTIME/./}
    err=$("$@" 2>&1 >/dev/null) && status=0 || status=$?
    ms=$(((${EPOCHREALTIME/./} - start) / 1000))
}
# The calls to GNOME's service (which hands each to the shell), a moment later for a late one.
notified() { sleep 1 && grep -c 'destination=org.freedesktop.Notifications .*member=Notify' "$work/calls" || true; }
# GNOME's portal saves into ~/Pictures, or the home folder when there is none.
portal_files() { find "$HOME" -maxdepth 2 -name 'Screenshot*.png' | wc -l; }
permission() { busctl --user call org.freedesktop.impl.portal.PermissionStore /org/freedesktop/impl/portal/PermissionStore \
    org.freedesktop.impl.portal.PermissionStore SetPermission sbssas screenshot true screenshot '' 1 "$1"; }

wait_for "GNOME Shell to serve notifications" name_owned org.freedesktop.Notifications
monitor "interface='org.freedesktop.portal.Screenshot'" "type='method_return',sender='org.freedesktop.Notifications'" \
    "type='method_call',interface='org.freedesktop.Notifications',member='Notify'"
mkdir -m 0555 "$work/read-only"
run "$tool" -x "$work/read-only/shot.png"
kept=$(sed -n "s/.*screenshot is kept in '\(.*\)'$/\1/p" <<<"$err")
check "a failed write names the folder and keeps the portal's file where the message says" \
    test "$status" -eq 1 -a -n "$kept" -a -f "$kept" -a -n "$(grep -F "cannot save into '$work/read-only'" <<<"$err")"
rm -f "$kept"
message=$(tail -n 1 <<<"$err" | sed -n 's/^screencapture: //p')
# Notify's arguments as dbus-monitor prints them, one a line: app_name, replaces_id, app_icon, summary, body.
mapfile -t args < <(sed -n '/member=Notify/,/array/s/^ *\(string\|uint32\) //p' "$work/calls")
expect "the failure posts one notification, from Kestrelle, saying the screenshot was not saved, the message its body" \
    "1 \"Kestrelle\" \"Screenshot not saved\" \"$message\"" "$(notified) ${args[0]} ${args[3]} ${args[4]}"
check "GNOME Shell took it, answering with its number, and refused nothing" \
    test -n "$(grep -x ' *uint32 [1-9][0-9]*' "$work/calls")" -a -z "$(grep '^error' "$work/calls")"

run "$tool" -x "$work/shot.png"
"$here/gnome-screenshot.py" "$work/reference.png"
check "a capture succeeds with the desktop's own screenshot, pixel for pixel" \
    test "$status $(compare -metric AE "$work/shot.png" "$work/reference.png" null: 2>&1)" = "0 0"
run "$tool" -q
expect "a wrong command line fails with status 2; neither it nor the capture posts a notification" "2 1" "$status $(notified)"

# (A notification service that never answers: screencapture.failures.)
run dbus-run-session --config-file="$here/../portal/session.conf" -- "$tool" -x "$work/read-only/shot.png"
expect "on a bus with no portal and no notification service: fails saying only why, without a wait (${ms} ms)" \
    "1 screencapture: no desktop portal on the session bus (org.freedesktop.portal.Desktop) to take the screenshot yes" \
    "$status $err $([ "$ms" -lt 1000 ] && echo yes)"

permission no
run "$tool" -x "$work/refused.png"
expect "screenshots refused: fails, saying so" \
    "1 screencapture: the desktop portal ended the request without a screenshot: not allowed, or it could not take one" \
    "$status $err"
permission yes
PATH=/nonexistent run "$tool" -x -P "$work/viewed.png"
said=$(grep -x "screencapture: saved '$work/viewed.png' but cannot open it: .*" <<<"$err")
check "without a viewer: saved, one line saying so, and the portal's file gone" \
    test "$status" -eq 1 -a -f "$work/viewed.png" -a "$(portal_files)" -eq 0 -a "$err" = "$said"

# No clipboard can be served here (no data-control, no X display): nothing is asked of the portal.
asked=$(calls Screenshot)
DISPLAY='' run "$tool" -x -c
expect "-c with no clipboard to serve: fails within a second ($ms ms), saying why; asks for no screenshot, leaves no file" \
    "1 yes $asked 0 screencapture: the compositor offers no clipboard protocol (wlr-data-control) and there is no X display" \
    "$status $([ "$ms" -lt 1000 ] && echo yes) $(calls Screenshot) $(portal_files) $err"
finish
