#!/usr/bin/env bash
# "Capture Desktop" with the desktop portal's GTK chooser in sway (tests/desktops/with-desktop wlroots):
#   chooser.sh KESTRELLE SCREENCAPTURE
source "$(dirname "$0")/session.sh" "$1" "$2"
export QT_QPA_PLATFORM=wayland
title="Save Screenshot"

# The sway windows titled as the chooser, one "ID PID" a line.
choosers() { swaymsg -t get_tree | jq -r --arg t "$title" '.. | objects | select(.name? == $t) | "\(.id) \(.pid)"'; }
count_is() { [ "$(choosers | grep -c .)" -eq "$1" ]; }

# confirm ID DIR : types DIR as a person does from the home folder (Save is off in the recent files, where
# it opens) and presses Save once it is on (Return only completes the name); again if a key went astray.
confirm() {
    for _ in 1 2 3; do
        swaymsg "[con_id=$1] focus" >/dev/null
        # Shift first: the first key after wtype's keyboard appears may be lost.
        wtype -d 20 -k Shift_L -M alt -k Home -m alt -s 400 -M ctrl -k l -m ctrl -s 300 "$2"
        KESTRELLE_WAIT=3 wait_for "Save for $2" "$here/atspi.py" press "$backend_pid" Save "$2" 2>/dev/null && return 0
    done
    return 1
}

png_in() { [ -n "$(find "$1" -type f -name '*.png')" ]; }
captures() { find "$work/one" "$work/two" "$work/three" -type f | wc -l; }
# Below waybar every pixel is sway's background colour: the chooser is not in the capture.
desktop_only() {
    [ "$(convert "$1" -crop 1280x700+0+100 +repage -fill black -opaque '#3366cc' -fill white +opaque black \
        -format '%[fx:mean]' info:)" = 0 ]
}

capture() { application ActivateAction capture-desktop [] {} >/dev/null; }

stage_with_tool "$work/app"
start_kestrelle "$work/app"
wait_for "Kestrelle on the session bus" name_owned io.github.kestrelle.Kestrelle

mkdir "$work/one" "$work/two" "$work/three"
capture
wait_for "the desktop's chooser" count_is 1
read -r window window_pid < <(choosers)
backend_pid=$(busctl --user status org.freedesktop.impl.portal.desktop.gtk | sed -n 's/^PID=//p')
expect "the chooser is the portal backend's window, not Kestrelle's" "$backend_pid" "$window_pid"
confirm "$window" "$work/one"
wait_for "a capture in the typed folder" png_in "$work/one"
file=$(find "$work/one" -type f)
expect "it is a PNG of the whole desktop" "PNG 1280x800" "$(identify -format '%m %wx%h' "$file")"
check "the chooser is not in the capture" desktop_only "$file"

# Two at once: the second menu choice while the first chooser is open.
capture
wait_for "the first chooser" count_is 1
capture
wait_for "two choosers open at once" count_is 2
mapfile -t both < <(choosers)
confirm "${both[1]%% *}" "$work/three"
wait_for "the capture of the chooser confirmed first" png_in "$work/three"
check "the other chooser is still open" count_is 1
confirm "${both[0]%% *}" "$work/two"
wait_for "the capture of the other chooser" png_in "$work/two"
expect "each chooser's capture went into its own folder only" 3 "$(captures)"

capture
wait_for "a chooser to cancel" count_is 1
wait_for "the chooser to take Cancel" "$here/atspi.py" press "$backend_pid" Cancel
wait_for "the cancelled chooser to close" count_is 0
sleep 1
expect "a cancel captures nothing; Kestrelle kept to the desktop's chooser" "3 0" "$(captures) $(log_count 'folder chooser')"
finish
