# Shared by the end-to-end tests: sourced with the paths of kestrelle, the capture tool and the
# window-closing helper as $1..$3, on a display that tests/support/with-display provides. Each test
# stages the program in a folder of its own beside either a recording stand-in for the capture tool
# or the real one, and has its own settings folder.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../support/drive-kestrelle.sh"

kestrelle=$1
real_tool=$2
close_window_tool=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrelle-e2e.XXXXXX")

export XDG_CONFIG_HOME=$work/config
# File names are built from the time in the user's locale and zone: pin both, to a zone that is not UTC.
export LC_ALL=C TZ=America/Denver
# No session bus: Qt then docks into the XEmbed tray host rather than looking for a D-Bus one.
unset DBUS_SESSION_BUS_ADDRESS
settings=$XDG_CONFIG_HOME/Kestrelle/Kestrelle.conf
log=$work/kestrelle.log
starts=$work/starts
kestrelle_pid=
tray_host_pid=

trap 'end_session $?' EXIT

# stage_with_recorder DIR : kestrelle beside the stand-in that records each start in $starts.
stage_with_recorder() {
    mkdir -p "$1"
    cp "$kestrelle" "$1/kestrelle"
    make_recording_tool "$1" "$starts"
}

# stage_with_tool DIR : kestrelle beside the real capture tool.
stage_with_tool() {
    mkdir -p "$1"
    cp "$kestrelle" "$real_tool" "$1/"
}

# start_kestrelle DIR : starts the staged program, its log appended to $log; sets kestrelle_pid.
start_kestrelle() {
    "$1/kestrelle" 2>>"$log" &
    kestrelle_pid=$!
}

process_gone() {
    [ ! -e "/proc/$1" ] || [ "$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)" = Z ]
}

# wait_for_exit : waits until Kestrelle has ended; sets exit_status.
wait_for_exit() {
    exit_status=0
    wait_for "Kestrelle (process $kestrelle_pid) to exit" process_gone "$kestrelle_pid"
    wait "$kestrelle_pid" || exit_status=$?
    kestrelle_pid=
}

# quit_kestrelle : "Quit Kestrelle" from the menu; sets exit_status.
quit_kestrelle() {
    choose_menu_entry "Quit Kestrelle"
    wait_for_exit
}

# setting KEY : the value stored under KEY in the settings file, as written there.
setting() {
    [ -f "$settings" ] || return 0
    sed -n "s/^$1=//p" "$settings"
}

setting_is() { [ "$(setting "$1")" = "$2" ]; }

log_has() { grep -qF -- "$1" "$log"; }

# log_count TEXT : how many lines of the log hold TEXT.
log_count() { grep -cF -- "$1" "$log" || true; }

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
    window_shown "$1" || {
        echo "expected a window titled \"$1\" to close, saw none" >&2
        return 1
    }
    close_requests=0 next_request=0
    wait_for "the window \"$1\" to close" gone_after_close_request "$1"
    if [ "$close_requests" -gt 1 ]; then
        echo "note: \"$1\" closed only after $close_requests close requests"
    fi
}

# window_count TITLE : how many visible windows carry this title.
window_count() { visible_windows "$1" | wc -l; }

# click_in TITLE X Y : a left click at X,Y inside the visible window with this title.
click_in() {
    local window
    window=$(visible_window "$1")
    xdotool mousemove --window "$window" "$2" "$3" click 1
}

# capture_path_fits START END DIR EXT SEEN_PATH : the path is DIR/"Kestrelle on …".EXT for
# some second between START and END.
capture_path_fits() {
    local start=$1 end=$2 dir=$3 ext=$4 seen=$5 name
    while IFS= read -r name; do
        [ "$seen" = "$dir/$name.$ext" ] && return 0
    done < <(capture_file_names "$start" "$end")
    return 1
}

# image_facts FILE : format, size and the colour of a pixel in the middle of the desktop.
image_facts() {
    identify -format '%m %wx%h ' "$1" 2>/dev/null &&
        convert "$1" -format '%[hex:p{640,400}]' info: 2>/dev/null | cut -c1-6
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
