# Drives Kestrelle on an X display as a person does: clicks on its tray icon, menu entries chosen with
# the keyboard, a folder typed into the chooser. Sourced under `set -euo pipefail`; the session's
# variables ($kestrelle, $work, $settings, $log, $starts...) are set by tests/e2e/lib.sh.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

kestrelle_chooser_title="Find Directory" # Qt's own
kestrelle_windows() { xdotool search --onlyvisible --classname '^kestrelle$' 2>/dev/null || true; }

is_embedded() {
    local parent
    parent=$(xwininfo -id "$1" -tree 2>/dev/null | grep '^ *Parent window id:') || return 1
    [[ $parent != *"(the root window)"* ]]
}
is_override_redirect() { xwininfo -id "$1" -all 2>/dev/null | grep -q 'Override Redirect State: yes'; }

kestrelle_icon() {
    local w
    for w in $(kestrelle_windows); do is_embedded "$w" && echo "$w" && return 0; done
    return 1
}
icon_docked() { kestrelle_icon >/dev/null; }
wait_for_icon() { wait_for "Kestrelle's icon to dock in the tray" icon_docked; }

menu_open() {
    local w
    for w in $(kestrelle_windows); do ! is_embedded "$w" && is_override_redirect "$w" && return 0; done
    return 1
}
menu_closed() { ! menu_open; }

# Two clicks on the icon within the double-click interval (0.4 s) arrive as one double click.
kestrelle_last_click=0
space_clicks() {
    local wait=$((kestrelle_last_click + 500000 - ${EPOCHREALTIME/[.,]/}))
    if [ "$wait" -gt 0 ]; then sleep "$(printf '0.%06d' "$wait")"; fi
    kestrelle_last_click=${EPOCHREALTIME/[.,]/}
}

# The icon is looked for again when not found: xdotool's search fails when windows vanish under it.
open_menu() {
    local icon
    wait_for "Kestrelle's icon in the tray" eval 'icon=$(kestrelle_icon)'
    space_clicks
    xdotool mousemove --window "$icon" 8 8 click 1
    wait_for "the tray menu to open after a click on the icon" menu_open
}

open_and_dismiss_menu() {
    open_menu
    xdotool key Escape
    wait_for "the tray menu to close on Escape" menu_closed
}

# Separators take no key press.
choose_menu_entry() {
    local entry keys=()
    for entry in "Capture Desktop" "Capture Desktop to Clipboard" "Set keyboard shortcuts..." "Preferences..." \
        "About Kestrelle" "Quit Kestrelle"; do
        keys+=(Down)
        [ "$entry" = "$1" ] || continue
        open_menu
        xdotool key "${keys[@]}" Return
        wait_for "the tray menu to close after choosing \"$1\"" menu_closed
        return
    done
    echo "no menu entry is called \"$1\"" >&2 && return 1
}

# Kestrelle's own: Mutter 48 frames X11 windows in a client of its own, whose windows carry the same titles.
visible_windows() {
    comm -12 <(kestrelle_windows | sort) <(xdotool search --onlyvisible \
        --name "^$(printf '%s' "$1" | sed 's/[][\.*^$()+?{}|]/\\&/g')\$" 2>/dev/null | sort || true)
}
visible_window() { visible_windows "$1" | head -n 1 | grep .; }
window_shown() { visible_window "$1" >/dev/null; }
window_gone() { ! window_shown "$1"; }
wait_for_window() { wait_for "a window titled \"$1\"" window_shown "$1"; }
window_count() { visible_windows "$1" | wc -l; }
click_in() { xdotool mousemove --window "$(visible_window "$1")" "$2" "$3" click 1; }

# answer_chooser KEYS... : with no window manager nothing gives a chooser the focus.
answer_chooser() {
    local chooser
    wait_for_window "$kestrelle_chooser_title"
    for chooser in $(visible_windows "$kestrelle_chooser_title"); do
        xdotool windowfocus --sync "$chooser" key "$@"
    done
    wait_for "every directory chooser to close" window_gone "$kestrelle_chooser_title"
}
choose_folder() {
    wait_for_window "$kestrelle_chooser_title"
    xdotool windowfocus --sync "$(visible_window "$kestrelle_chooser_title")" type --delay 4 -- "$1"
    answer_chooser Return
}

capture_to_folder() { choose_menu_entry "Capture Desktop" && choose_folder "$1"; }

# make_recording_tool DIR LOG : a stand-in `screencapture` that adds to LOG a line per start: the time,
# then each argument in double quotes.
make_recording_tool() {
    cat >"$1/screencapture" <<EOF
#!/bin/bash
line=\$EPOCHREALTIME
for argument in "\$@"; do line+=" \"\$argument\""; done
printf '%s\n' "\$line" >>'$2'
EOF
    chmod +x "$1/screencapture"
}
recorded_starts() { if [ -f "$1" ]; then wc -l <"$1"; else echo 0; fi; }
recorded_arguments() { sed -n "${2}p" "$1" | cut -d' ' -f2-; }
has_started() { [ "$(recorded_starts "$1")" -ge "$2" ]; }
wait_for_start() { wait_for "the capture tool to start (start number $2)" has_started "$1" "$2"; }
recorded_path() { recorded_arguments "$starts" "$1" | sed 's/.* "\(.*\)"$/\1/; s/^"\(.*\)"$/\1/'; }

# capture_with CMD ARGS... : sets arguments to those of the capture that CMD starts.
capture_with() {
    local next=$(($(recorded_starts "$starts") + 1))
    "$@"
    wait_for_start "$starts" "$next"
    arguments=$(recorded_arguments "$starts" "$next")
}

# capture_file_names T0 T1 : every name, without the extension, of a capture chosen between T0 and T1.
capture_file_names() {
    local t
    for ((t = $1; t <= $2; t++)); do LC_ALL=C date -d "@$t" '+Kestrelle on %m-%d-%Y at %I.%M.%S %p'; done
}
# capture_path_fits T0 T1 DIR EXT PATH
capture_path_fits() {
    local name=${5#"$3/"}
    [[ $5 == "$3/$name" && $name == *".$4" ]] && capture_file_names "$1" "$2" | grep -xF -- "${name%".$4"}" >/dev/null
}

# end_session STATUS : for an EXIT trap; the program and the tray host may have exited already.
end_session() {
    [ -n "${kestrelle_pid:-}" ] && kill "$kestrelle_pid" 2>/dev/null || true
    [ -n "${tray_host_pid:-}" ] && kill "$tray_host_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    unmount_all
    if [ "$1" -ne 0 ] && [ -s "${log:-}" ]; then
        echo "Kestrelle's log:"
        sed 's/^/  /' "$log"
    fi
    rm -rf "$work"
    return "$1"
}

stage_with_recorder() { mkdir -p "$1" && cp "$kestrelle" "$1/kestrelle" && make_recording_tool "$1" "$starts"; }
stage_with_tool() { mkdir -p "$1" && cp "$kestrelle" "$real_tool" "$1/"; }
start_kestrelle() { "$1/kestrelle" 2>>"$log" & kestrelle_pid=$!; }
wait_for_exit() {
    exit_status=0
    wait_for "Kestrelle (process $kestrelle_pid) to exit" process_gone "$kestrelle_pid"
    wait "$kestrelle_pid" || exit_status=$?
    kestrelle_pid=
}
# quit_kestrelle [WHAT] : with WHAT, checks that it ends with status 0.
quit_kestrelle() {
    choose_menu_entry "Quit Kestrelle"
    wait_for_exit
    [ -z "${1:-}" ] || expect "$1" 0 "$exit_status"
}

setting() { [ ! -f "$settings" ] || sed -n "s/^$1=//p" "$settings"; }
setting_is() { [ "$(setting "$1")" = "$2" ]; }
seed_settings() {
    mkdir -p "$(dirname "$settings")"
    printf '%s\n' '[General]' "$@" >"$settings"
}
log_has() { grep -qF -- "$1" "$log"; }
log_count() { grep -cF -- "$1" "$log" || true; }
logged_at_least() { [ "$(log_count "$1")" -ge "$2" ]; }

# The Preferences window has a fixed size and layout.
play_sound_box=(100 40) open_viewer_box=(100 83) file_type_popup=(117 127)

# A window manager's close request, sent again each second as a person clicks again: under load one
# is now and then not received.
gone_after_close_request() {
    local window
    window=$(visible_window "$1") || return 0
    if [ "$SECONDS" -ge "$next_request" ]; then
        "$close_window_tool" "$window" || true
        next_request=$((SECONDS + 1))
    fi
    return 1
}
close_window() {
    window_shown "$1" || { echo "expected a window titled \"$1\" to close, saw none" >&2 && return 1; }
    next_request=0
    wait_for "the window \"$1\" to close" gone_after_close_request "$1"
}
