# Drives Kestrelle on an X display the way a person does: finds its tray icon, clicks it, picks menu
# entries with the keyboard, types a folder into the chooser. Sourced by the end-to-end tests, by
# scripts/run and by bench/tray.sh, under `set -euo pipefail`, on a display that
# tests/support/with-display provides. Every wait polls with a time limit, never a fixed sleep. The
# helpers of a test session use what tests/e2e/lib.sh sets: $kestrelle, $real_tool,
# $close_window_tool, $work, $settings, $log and $starts.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# The menu's entries from the top; separators are skipped by the keyboard, so Down N times lands on
# entry N.
kestrelle_menu_entries=("Capture Desktop" "Capture Desktop to Clipboard" "Set keyboard shortcuts..." "Preferences..."
    "About Kestrelle" "Quit Kestrelle")

# The window title that Qt gives its own directory chooser.
kestrelle_chooser_title="Find Directory"

# The visible windows of every program whose binary is named kestrelle.
kestrelle_windows() { xdotool search --onlyvisible --classname '^kestrelle$' 2>/dev/null || true; }

is_embedded() { # the window's parent is some other program's window, not the root
    local parent
    parent=$(xwininfo -id "$1" -tree 2>/dev/null | grep '^ *Parent window id:') || return 1
    [[ $parent != *"(the root window)"* ]]
}

is_override_redirect() { xwininfo -id "$1" -all 2>/dev/null | grep -q 'Override Redirect State: yes'; }

# first_kestrelle_window TEST : prints the first of Kestrelle's windows for which TEST succeeds.
first_kestrelle_window() {
    local w
    for w in $(kestrelle_windows); do "$1" "$w" && echo "$w" && return 0; done
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
    icon=$(kestrelle_icon) || { echo "expected Kestrelle's icon in the tray, saw none" >&2 && return 1; }
    space_clicks
    xdotool mousemove --window "$icon" 8 8 click "${1:-1}"
    wait_for "the tray menu to open after a click on the icon" menu_open
}

# open_and_dismiss_menu [BUTTON] : the menu opens on a click and closes on Escape.
open_and_dismiss_menu() {
    open_menu "$@"
    xdotool key Escape
    wait_for "the tray menu to close on Escape" menu_closed
}

# choose_menu_entry TITLE : opens the menu and activates the entry with the keyboard.
choose_menu_entry() {
    local entry keys=()
    for entry in "${kestrelle_menu_entries[@]}"; do
        keys+=(Down)
        [ "$entry" = "$1" ] || continue
        open_menu
        xdotool key "${keys[@]}" Return
        wait_for "the tray menu to close after choosing \"$1\"" menu_closed
        return
    done
    echo "no menu entry is called \"$1\"" >&2 && return 1
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
    wait_for_window "$kestrelle_chooser_title"
    xdotool windowfocus --sync "$(visible_window "$kestrelle_chooser_title")" type --delay 4 -- "$1"
    xdotool key Return
    wait_for "the directory chooser to close after confirming $1" window_gone "$kestrelle_chooser_title"
}

# answer_chooser KEYS... : the keys in every open directory chooser, each given the focus first;
# waits until all have closed.
answer_chooser() {
    local chooser
    wait_for_window "$kestrelle_chooser_title"
    for chooser in $(visible_windows "$kestrelle_chooser_title"); do
        xdotool windowfocus --sync "$chooser" key "$@"
    done
    wait_for "every directory chooser to close" window_gone "$kestrelle_chooser_title"
}

# capture_to_folder DIR : "Capture Desktop", then DIR typed into the chooser.
capture_to_folder() { choose_menu_entry "Capture Desktop" && choose_folder "$1"; }

# make_recording_tool DIR LOG : puts a stand-in `screencapture` into DIR that appends one line per
# start to LOG: the start time (seconds since the epoch) then each argument in double quotes.
make_recording_tool() {
    local dir=$1 log=$2
    cat >"$dir/screencapture" <<EOF
#!/bin/bash
line=\$EPOCHREALTIME
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
# ($tray_host_pid) the script started, undoes its mounts, shows the program's log ($log) when the
# script failed, and removes $work. Either process may have exited already.
end_session() {
    local status=$1
    [ -n "${kestrelle_pid:-}" ] && kill "$kestrelle_pid" 2>/dev/null || true
    [ -n "${tray_host_pid:-}" ] && kill "$tray_host_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    unmount_all
    if [ "$status" -ne 0 ] && [ -s "${log:-}" ]; then
        echo "Kestrelle's log:"
        sed 's/^/  /' "$log"
    fi
    rm -rf "$work"
    return "$status"
}

# stage_with_recorder DIR : kestrelle beside the stand-in that records each start in $starts.
stage_with_recorder() { mkdir -p "$1" && cp "$kestrelle" "$1/kestrelle" && make_recording_tool "$1" "$starts"; }

# stage_with_tool DIR : kestrelle beside the real capture tool.
stage_with_tool() { mkdir -p "$1" && cp "$kestrelle" "$real_tool" "$1/"; }

# start_kestrelle DIR : starts the staged program, its log appended to $log; sets kestrelle_pid.
start_kestrelle() { "$1/kestrelle" 2>>"$log" & kestrelle_pid=$!; }

# wait_for_exit : waits until Kestrelle has ended; sets exit_status.
wait_for_exit() {
    exit_status=0
    wait_for "Kestrelle (process $kestrelle_pid) to exit" process_gone "$kestrelle_pid"
    wait "$kestrelle_pid" || exit_status=$?
    kestrelle_pid=
}

# quit_kestrelle [WHAT] : "Quit Kestrelle" from the menu; sets exit_status, and with WHAT checks that
# it is 0.
quit_kestrelle() {
    choose_menu_entry "Quit Kestrelle"
    wait_for_exit
    [ -z "${1:-}" ] || expect "$1" 0 "$exit_status"
}

# setting KEY : the value stored under KEY in the settings file, as written there.
setting() { [ ! -f "$settings" ] || sed -n "s/^$1=//p" "$settings"; }
setting_is() { [ "$(setting "$1")" = "$2" ]; }
log_has() { grep -qF -- "$1" "$log"; }

# log_count TEXT : how many lines of the log hold TEXT.
log_count() { grep -cF -- "$1" "$log" || true; }
logged_at_least() { [ "$(log_count "$1")" -ge "$2" ]; }

# seed_settings LINE... : a settings file of these lines under [General], as if stored earlier.
seed_settings() {
    mkdir -p "$(dirname "$settings")"
    printf '%s\n' '[General]' "$@" >"$settings"
}

# Where the controls sit in the Preferences window, which has a fixed size and layout.
play_sound_box=(100 40) open_viewer_box=(100 83) file_type_popup=(117 127)

# Sends one close request, as a window manager's close button does, and again each second, as a
# person clicks close again, until the window is gone.
gone_after_close_request() {
    local window
    window_gone "$1" && return 0
    if [ "$SECONDS" -ge "$next_request" ] && window=$(visible_window "$1"); then
        "$close_window_tool" "$window" || true
        close_requests=$((close_requests + 1))
        next_request=$((SECONDS + 1))
    fi
    return 1
}

# close_window TITLE : closes the window and waits until it is gone; sets close_requests to the
# number of requests it took.
close_window() {
    window_shown "$1" || { echo "expected a window titled \"$1\" to close, saw none" >&2 && return 1; }
    close_requests=0 next_request=0
    wait_for "the window \"$1\" to close" gone_after_close_request "$1"
    [ "$close_requests" -le 1 ] || echo "note: \"$1\" closed only after $close_requests close requests"
}

# window_count TITLE : how many visible windows carry this title.
window_count() { visible_windows "$1" | wc -l; }

# click_in TITLE X Y : a left click at X,Y inside the visible window with this title.
click_in() { xdotool mousemove --window "$(visible_window "$1")" "$2" "$3" click 1; }

# capture_path_fits START END DIR EXT SEEN_PATH : the path is DIR/"Kestrelle on …".EXT for
# some second between START and END.
capture_path_fits() {
    local name=${5#"$3/"}
    [[ $5 == "$3/$name" && $name == *".$4" ]] && capture_file_names "$1" "$2" | grep -xF -- "${name%".$4"}" >/dev/null
}

# wait_for_capture_file DIR START END : waits for a PNG in DIR and checks that it is the folder's one
# file, named after a second between START and END; sets file to its path.
wait_for_capture_file() {
    png_in() { [ -n "$(find "$1" -type f -name '*.png')" ]; }
    wait_for "a file in \"$1\"" png_in "$1"
    file=$(find "$1" -type f)
    check "the one file in the folder is named after the moment of the menu choice" \
        capture_path_fits "$2" "$3" "$1" png "$file"
}

# The file path of the Nth recorded start: its last argument, unquoted.
recorded_path() {
    recorded_arguments "$starts" "$1" | sed 's/.* "\(.*\)"$/\1/; s/^"\(.*\)"$/\1/'
}

# capture_with CMD ARGS... : runs CMD and waits for the capture it starts; sets arguments to that
# start's arguments.
capture_with() {
    local next
    next=$(($(recorded_starts "$starts") + 1))
    "$@"
    wait_for_start "$starts" "$next"
    arguments=$(recorded_arguments "$starts" "$next")
}
