#!/usr/bin/env bash
# What Kestrelle depends on, taken away under it: the capture tool missing, not executable or unable
# to start (one line per capture, Kestrelle stays up, the tool put back works at the next capture);
# the folder typed into the chooser, or the one it shows, deleted before it is confirmed; and the X server gone (Kestrelle
# exits with a message instead of spinning).
source "$(dirname "$0")/lib.sh"

mkdir -p "$(dirname "$settings")"
printf '%s\n' '[General]' screenshotFileType=png screenshotFileTypeIndex=0 \
    CaptureShortcut=Ctrl+Alt+D CaptureClipboardShortcut=Ctrl+Alt+K >"$settings"
shots=$work/shots
mkdir "$shots"

# confirm_chooser : Return in the chooser, which opens in the folder Kestrelle was started in.
confirm_chooser() {
    wait_for_window "$kestrelle_chooser_title"
    xdotool windowfocus --sync "$(visible_window "$kestrelle_chooser_title")" key Return
    wait_for "the chooser to close" window_gone "$kestrelle_chooser_title"
}

# four_captures : both captures from the menu and from their shortcuts.
four_captures() {
    choose_menu_entry "Capture Desktop to Clipboard"
    xdotool key ctrl+alt+k
    choose_menu_entry "Capture Desktop"
    confirm_chooser
    xdotool key ctrl+alt+d
    confirm_chooser
}

logged_at_least() { [ "$(log_count "$1")" -ge "$2" ]; }

# The staged folder with no tool beside kestrelle: it looks there and in ../libexec/kestrelle.
app=$work/app
stage_with_recorder "$app"
mv "$app/screencapture" "$work/recorder"
cd "$shots"
start_kestrelle "$app"
cd - >/dev/null
wait_for_icon
four_captures
wait_for "a line for each capture without a tool" logged_at_least "Could not start" 4
expect "without a tool: one line per capture, saying it is not installed" 4 \
    "$(log_count "Could not start /usr/sbin/screencapture: it is not installed (also looked in $app, ")"

cp "$work/recorder" "$app/screencapture"
chmod a-x "$app/screencapture"
four_captures
wait_for "a line for each capture with a tool that is not executable" logged_at_least "Could not start" 8
expect "a tool that is not executable: one line per capture naming the file" 4 \
    "$(log_count "Could not start /usr/sbin/screencapture: $app/screencapture is not executable")"

printf '#!/nonexistent/interpreter\n' >"$app/screencapture"
chmod a+x "$app/screencapture"
four_captures
wait_for "a line for each capture with a tool that cannot start" logged_at_least "Could not start" 12
expect "a tool that cannot start: one line per capture naming the file" 4 \
    "$(log_count "Could not start $app/screencapture: ")"

cp "$work/recorder" "$app/screencapture"
choose_menu_entry "Capture Desktop to Clipboard"
wait_for_start "$starts" 1
echo "ok - the tool put back works at the next capture, without a restart"
expect "no other line was logged" 12 "$(wc -l <"$log")"
open_menu
xdotool key Escape
wait_for "the tray menu to close" menu_closed
echo "ok - Kestrelle is up and its menu opens"

# The folder typed into the chooser is deleted before Return: the chooser says it does not exist and
# stays open, nothing is captured; the folder it shows then works.
gone=$work/gone
mkdir "$gone"
choose_menu_entry "Capture Desktop"
wait_for_window "$kestrelle_chooser_title"
xdotool windowfocus --sync "$(visible_window "$kestrelle_chooser_title")" type --delay 4 -- "$gone"
rmdir "$gone"
xdotool key Return
two_windows() { [ "$(window_count "$kestrelle_chooser_title")" -eq 2 ]; }
wait_for "the chooser to say that the folder does not exist" two_windows
check "nothing is captured into a deleted folder" test "$(recorded_starts "$starts")" -eq 1
open_menu
xdotool key Escape
wait_for "the tray menu to close" menu_closed
echo "ok - the tray menu opens while the chooser says so"
# dismiss_message : Return in the chooser's message box, the narrower of its two windows.
dismiss_message() {
    local window box=
    for window in $(visible_windows "$kestrelle_chooser_title"); do
        [ "$(xwininfo -id "$window" | awk '/Width:/ { print $2 }')" -lt 400 ] && box=$window
    done
    xdotool windowfocus --sync "$box" key Return
    wait_for "the message to close" one_window
}
one_window() { [ "$(window_count "$kestrelle_chooser_title")" -eq 1 ]; }
dismiss_message
xdotool windowfocus --sync "$(visible_window "$kestrelle_chooser_title")" key ctrl+a BackSpace
confirm_chooser
wait_for_start "$starts" 2
check "the folder chosen then gets the capture" test "$(dirname "$(recorded_path 2)")" = "$shots"

# The folder the chooser shows is deleted under it, and Save pressed: the same, nothing captured.
quit_kestrelle
shown=$work/shown
mkdir "$shown"
cd "$shown"
start_kestrelle "$app"
cd - >/dev/null
wait_for_icon
choose_menu_entry "Capture Desktop"
wait_for_window "$kestrelle_chooser_title"
rmdir "$shown"
xdotool windowfocus --sync "$(visible_window "$kestrelle_chooser_title")" key Return
wait_for "the chooser to say that its folder does not exist" two_windows
check "nothing is captured into the deleted folder it showed" test "$(recorded_starts "$starts")" -eq 2
dismiss_message
xdotool windowfocus --sync "$(visible_window "$kestrelle_chooser_title")" key Escape
wait_for "the chooser to close" window_gone "$kestrelle_chooser_title"
quit_kestrelle
expect "Kestrelle quits with status 0 after all of it" 0 "$exit_status"

# A display of its own with a tray host, stopped under a running Kestrelle.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$work/displayfd" >/dev/null 2>&1 &
server_pid=$!
read -r -t 10 number <"$work/displayfd"
export DISPLAY=:$number
display_answers() { xdpyinfo >/dev/null 2>&1; }
wait_for "the private display to answer" display_answers
start_tray_host "$work"
start_kestrelle "$app"
wait_for_icon
: >"$log"
kill -9 "$server_pid"
wait "$server_pid" 2>/dev/null || true
cpu_ticks=0
cpu_seen() { # the process's user and system time, in clock ticks, as long as it is there to read
    local stat
    stat=$(cat "/proc/$kestrelle_pid/stat" 2>/dev/null) || return 0
    cpu_ticks=$(awk '{ print $14 + $15 }' <<<"$stat")
}
exited() { cpu_seen; process_gone "$kestrelle_pid"; }
wait_for "Kestrelle to exit once the X server is gone" exited
wait_for_exit
# The tray host went with its server.
wait "$tray_host_pid" 2>/dev/null || true
tray_host_pid=
check "without its X server Kestrelle exits with a failure status" test "$exit_status" -ne 0
check "it spent no more than a second of CPU on the way out" test "$cpu_ticks" -le "$(getconf CLK_TCK)"
expect "it says why in one line" 1 "$(wc -l <"$log")"
check "in the log's format, time, process and text" \
    grep -qE "^[0-9-]{10} [0-9:.]{12} kestrelle\[[0-9]+\] The X11 connection broke" "$log"
finish
