# Drives Kestrelle on an X display the way a person does: finds its tray icon, clicks it, picks menu
# entries with the keyboard, types a folder into the chooser. Sourced by the end-to-end tests, by
# scripts/run and by bench/tray.sh, under `set -euo pipefail`, on a display that
# tests/support/with-display provides. Every wait polls with a time limit, never a fixed sleep.

# Seconds any one wait may take; generous, because a loaded 2-core machine is slow to map windows.
: "${KESTRELLE_WAIT:=30}"

# The menu's entries from the top; separators are skipped by the keyboard, so Down N times lands on
# entry N.
kestrelle_menu_entries=(
    "Capture Desktop"
    "Capture Desktop to Clipboard"
    "Set keyboard shortcuts..."
    "Preferences..."
    "About Kestrelle"
    "Quit Kestrelle"
)

# The window title that Qt gives its own directory chooser.
kestrelle_chooser_title="Find Directory"

# wait_for WHAT CMD ARGS... : runs CMD until it succeeds; fails naming WHAT after $KESTRELLE_WAIT s.
wait_for() {
    local what=$1
    shift
    local deadline=$((SECONDS + KESTRELLE_WAIT))
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "timed out after ${KESTRELLE_WAIT}s waiting for $what" >&2
            return 1
        fi
        sleep 0.05
    done
}

# The visible windows of every program whose binary is named kestrelle.
kestrelle_windows() {
    xdotool search --onlyvisible --classname '^kestrelle$' 2>/dev/null || true
}

is_embedded() { # the window's parent is some other program's window, not the root
    local parent
    parent=$(xwininfo -id "$1" -tree 2>/dev/null | grep '^ *Parent window id:') || return 1
    [[ $parent != *"(the root window)"* ]]
}

is_override_redirect() {
    xwininfo -id "$1" -all 2>/dev/null | grep -q 'Override Redirect State: yes'
}

# first_kestrelle_window TEST : prints the first of Kestrelle's windows for which TEST succeeds.
first_kestrelle_window() {
    local w
    for w in $(kestrelle_windows); do
        if "$1" "$w"; then
            echo "$w"
            return 0
        fi
    done
    return 1
}

# Prints the tray icon's window: the one that a tray host has taken in. Fails when it is not docked.
kestrelle_icon() { first_kestrelle_window is_embedded; }

icon_docked() { kestrelle_icon >/dev/null; }
icon_gone() { ! icon_docked; }

wait_for_icon() { wait_for "Kestrelle's icon to dock in the tray" icon_docked; }

is_menu_window() { ! is_embedded "$1" && is_override_redirect "$1"; }

# Prints the open menu's window, a pop-up of its own at the root.
kestrelle_menu() { first_kestrelle_window is_menu_window; }

menu_open() { kestrelle_menu >/dev/null; }
menu_closed() { ! menu_open; }

kestrelle_last_click=0

# Sleeps until half a second has passed since the previous click on the icon: two clicks within
# the double-click interval (0.4 s) arrive as one double click, which opens no menu.
space_clicks() {
    local now wait
    now=${EPOCHREALTIME/[.,]/}
    wait=$((kestrelle_last_click + 500000 - now))
    if [ "$wait" -gt 0 ]; then sleep "$(printf '0.%06d' "$wait")"; fi
    kestrelle_last_click=${EPOCHREALTIME/[.,]/}
}

# open_menu [BUTTON] : clicks the icon (button 1 unless told) and waits for the menu.
open_menu() {
    local icon
    icon=$(kestrelle_icon) || {
        echo "expected Kestrelle's icon in the tray, saw none" >&2
        return 1
    }
    space_clicks
    xdotool mousemove --window "$icon" 8 8 click "${1:-1}"
    wait_for "the tray menu to open after a click on the icon" menu_open
}

# choose_menu_entry TITLE : opens the menu and activates the entry with the keyboard.
choose_menu_entry() {
    local title=$1 i keys=()
    for i in "${!kestrelle_menu_entries[@]}"; do
        keys+=(Down)
        if [ "${kestrelle_menu_entries[$i]}" = "$title" ]; then
            open_menu
            xdotool key "${keys[@]}" Return
            wait_for "the tray menu to close after choosing \"$title\"" menu_closed
            return 0
        fi
    done
    echo "no menu entry is called \"$title\"" >&2
    return 1
}

# visible_windows TITLE : prints every visible window with exactly this title.
visible_windows() {
    local pattern
    pattern="^$(printf '%s' "$1" | sed 's/[][\.*^$()+?{}|]/\\&/g')\$"
    xdotool search --onlyvisible --name "$pattern" 2>/dev/null || true
}

# visible_window TITLE : prints the visible window with exactly this title.
visible_window() { visible_windows "$1" | head -n 1 | grep .; }

window_shown() { visible_window "$1" >/dev/null; }
window_gone() { ! window_shown "$1"; }

wait_for_window() { wait_for "a window titled \"$1\"" window_shown "$1"; }

# choose_folder DIR : types DIR into the open directory chooser and confirms it with Return. With
# no window manager nothing gives the chooser the focus, so it is given the focus first.
choose_folder() {
    local dir=$1 chooser
    wait_for_window "$kestrelle_chooser_title"
    chooser=$(visible_window "$kestrelle_chooser_title")
    xdotool windowfocus --sync "$chooser" type --delay 4 -- "$dir"
    xdotool key Return
    wait_for "the directory chooser to close after confirming $dir" window_gone "$kestrelle_chooser_title"
}

# capture_to_folder DIR : "Capture Desktop", then DIR typed into the chooser.
capture_to_folder() { choose_menu_entry "Capture Desktop" && choose_folder "$1"; }

# start_tray_host WORK : starts trayer as with-display does and waits until it owns the tray
# selection; builds the selection probe into WORK and sets tray_host_pid. The caller stops trayer.
start_tray_host() {
    cc -O1 -o "$1/selection-owner" "$(dirname "${BASH_SOURCE[0]}")/selection-owner.c" -lxcb
    trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel --height 32 \
        --SetDockType true --transparent false --tint 0x888888 >/dev/null 2>&1 &
    tray_host_pid=$!
    wait_for "trayer to own the system tray selection" "$1/selection-owner" _NET_SYSTEM_TRAY_S0
}

# make_recording_tool DIR LOG : puts a stand-in `screencapture` into DIR that appends one line per
# start to LOG: the start time (seconds since the epoch) then each argument in double quotes.
make_recording_tool() {
    local dir=$1 log=$2
    cat >"$dir/screencapture" <<EOF
#!/bin/bash
started=\$EPOCHREALTIME
line=\$started
for argument in "\$@"; do line+=" \"\$argument\""; done
printf '%s\n' "\$line" >>'$log'
EOF
    chmod +x "$dir/screencapture"
}

# recorded_starts LOG : how many times the stand-in has started.
recorded_starts() { if [ -f "$1" ]; then wc -l <"$1"; else echo 0; fi; }

# recorded_arguments LOG N : the arguments of the Nth start, as quoted words.
recorded_arguments() { sed -n "${2}p" "$1" | cut -d' ' -f2-; }

has_started() { [ "$(recorded_starts "$1")" -ge "$2" ]; }

# wait_for_start LOG N : waits until the stand-in has started N times in all.
wait_for_start() { wait_for "the capture tool to start (start number $2)" has_started "$1" "$2"; }

# capture_file_names T0 T1 : every file name that a capture chosen between T0 and T1 (seconds since
# the epoch) can get, without the extension, in the C locale of the caller's time zone.
capture_file_names() {
    local t
    for ((t = $1; t <= $2; t++)); do
        LC_ALL=C date -d "@$t" '+Kestrelle on %m-%d-%Y at %I.%M.%S %p'
    done
}

# end_session STATUS : for an EXIT trap. Stops the program ($kestrelle_pid) and a tray host
# ($tray_host_pid) the script started, shows the program's log ($log) when the script failed, and
# removes $work. Either may have exited already.
end_session() {
    local status=$1
    [ -n "${kestrelle_pid:-}" ] && kill "$kestrelle_pid" 2>/dev/null || true
    [ -n "${tray_host_pid:-}" ] && kill "$tray_host_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    if [ "$status" -ne 0 ] && [ -s "${log:-}" ]; then
        echo "Kestrelle's log:"
        sed 's/^/  /' "$log"
    fi
    rm -rf "$work"
    return "$status"
}
