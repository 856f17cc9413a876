#!/usr/bin/env bash
# The capture tool through a real desktop's portal, in a session that tests/desktops/with-desktop
# provides:
#   portal.sh TOOL   (in with-desktop gnome --no-x11 --ask-screenshots: no Xwayland, screenshots not yet allowed)
source "$(dirname "$0")/../screencapture/lib.sh" "$1" # $work, checks; stops the processes in $servers on exit

# capture [TOOL ARGS...]: runs the tool; sets status, err and ms (its wall time).
capture() {
    local start=${EPOCHREALTIME/./}
    err=$(timeout 90 "$tool" -x "$@" 2>&1) && status=0 || status=$?
    ms=$(((${EPOCHREALTIME/./} - start) / 1000))
}

# GNOME's portal saves into ~/Pictures, or the home folder when there is none.
portal_files() { find "$HOME" -maxdepth 2 -name 'Screenshot*.png' | wc -l; }

# Every portal call on the bus, from here on, in $work/calls.
dbus-monitor --session "interface='org.freedesktop.portal.Screenshot'" >"$work/calls" 2>&1 &
servers+=($!)
for _ in $(seq 100); do grep -q NameAcquired "$work/calls" && break; sleep 0.05; done
calls() { grep -c "member=$1" "$work/calls" || true; }

permission() {
    gdbus call --session -d org.freedesktop.impl.portal.PermissionStore -o /org/freedesktop/impl/portal/PermissionStore \
        -m org.freedesktop.impl.portal.PermissionStore.SetPermission screenshot true screenshot '' "['$1']" >/dev/null
}

# Refused by the user: the portal answers that it took none.
permission no
capture "$work/refused.png"
expect "screenshots refused: fails, saying so" \
    "1 screencapture: the desktop portal ended the request without a screenshot: not allowed, or it could not take one" \
    "$status $err"

permission yes
mkdir "$work/no-viewer" # a PATH without xdg-open
ln -s "$(command -v timeout)" "$work/no-viewer/timeout"
PATH=$work/no-viewer capture -P "$work/shot.png"
"$(dirname "$0")/gnome-screenshot.py" "$work/reference.png"
check "the portal's screenshot is the desktop's own, pixel for pixel" same_pixels "$work/shot.png" "$work/reference.png"
check "the portal's file is gone once saved, even when the viewer cannot open it" \
    test "$status" -eq 1 -a "$(portal_files)" -eq 0
capture "$work/missing-folder/shot.png"
kept=$(sed -n "s/.*screenshot is kept in '\(.*\)'$/\1/p" <<<"$err")
check "a failed write keeps the portal's file where the message says" test "$status" -eq 1 -a -n "$kept" -a -f "$kept"
echo "# the portal kept $kept"
rm -f "$kept"

# No clipboard can be served here (no data-control, no X display): nothing is asked of the portal.
asked=$(calls Screenshot)
capture -c
check "-c with no clipboard to serve: fails within a second ($ms ms)" test "$status" -eq 1 -a "$ms" -lt 1000
expect "-c with no clipboard to serve: says why" \
    "screencapture: the compositor offers no clipboard protocol (wlr-data-control) and there is no X display" "$err"
expect "-c with no clipboard to serve: no screenshot asked for, no file left" "$asked 0" "$(calls Screenshot) $(portal_files)"
finish
