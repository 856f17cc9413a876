#!/usr/bin/env bash
# What Kestrelle depends on, taken away under it: the capture tool, the chosen folder, the X server, the tray.
source "$(dirname "$0")/../e2e/lib.sh"

seed_settings screenshotFileType=png screenshotFileTypeIndex=0 CaptureShortcut=Ctrl+Alt+D \
    CaptureClipboardShortcut=Ctrl+Alt+K
shots=$work/shots
mkdir "$shots"
app=$work/app
stage_with_recorder "$app"
cp "$app/screencapture" "$work/recorder"
cd "$shots" # where the chooser opens
start_kestrelle "$app"
cd - >/dev/null
wait_for_icon

# broken_tool SETUP WHAT LINE : both captures, from the menu and from their shortcuts, log LINE each.
failed=0
broken_tool() {
    eval "$1"
    choose_menu_entry "Capture Desktop to Clipboard"
    xdotool key ctrl+alt+k
    choose_menu_entry "Capture Desktop"
    answer_chooser Return
    xdotool key ctrl+alt+d
    answer_chooser Return
    wait_for "a line for each capture with $2" logged_at_least "Could not start" $((failed += 4))
    expect "$2: one line per capture naming it" 4 "$(log_count "$3")"
}
broken_tool 'chmod a-x "$app/screencapture"' \
    "a tool that is not executable" "Could not start /usr/sbin/screencapture: $app/screencapture is not executable"
broken_tool 'printf "#!/nonexistent/interpreter\n" >"$app/screencapture" && chmod a+x "$app/screencapture"' \
    "a tool that cannot start" "Could not start $app/screencapture: "
cp "$work/recorder" "$app/screencapture"
choose_menu_entry "Capture Desktop to Clipboard"
wait_for "the tool put back to work at the next capture, without a restart" has_started "$starts" 1
expect "no other line was logged" 8 "$(wc -l <"$log")"

# The typed folder deleted before Return: the chooser says so in a box of its own, the narrower of two
# windows, that blocks neither the chooser nor the tray menu.
mkdir "$work/gone"
choose_menu_entry "Capture Desktop"
wait_for_window "$kestrelle_chooser_title"
chooser=$(visible_window "$kestrelle_chooser_title")
# Below the tray, as a window manager would keep it: at the top left, Qt 6.8's chooser covers the icon.
xdotool windowmove --sync "$chooser" 0 40
xdotool windowfocus --sync "$chooser" type --delay 4 -- "$work/gone"
rmdir "$work/gone"
xdotool key Return
windows() { [ "$(window_count "$kestrelle_chooser_title")" -eq "$1" ]; }
wait_for "the chooser to say that the folder does not exist" windows 2
open_and_dismiss_menu
for window in $(visible_windows "$kestrelle_chooser_title"); do
    [ "$(xwininfo -id "$window" | awk '/Width:/ { print $2 }')" -ge 400 ] || box=$window
done
xdotool windowfocus --sync "$box" key Return
wait_for "the message to close" windows 1
answer_chooser ctrl+a BackSpace Return
wait_for_start "$starts" 2
check "nothing is captured into a deleted folder; the folder chosen then gets the capture" \
    test "$(dirname "$(recorded_path 2)")" = "$shots"
quit_kestrelle "Kestrelle quits with status 0 after all of it"

# A display of its own with a tray host, stopped under a running Kestrelle.
start_xvfb 640x480x24 "$work/xvfb.log"
start_tray_host "$work"
start_kestrelle "$app"
wait_for_icon
: >"$log"
kill -9 "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
cpu_ticks=0
exited() { # notes its CPU time in clock ticks while it can be read
    local stat
    stat=$(cat "/proc/$kestrelle_pid/stat" 2>/dev/null) && cpu_ticks=$(awk '{ print $14 + $15 }' <<<"$stat")
    process_gone "$kestrelle_pid"
}
wait_for "Kestrelle to exit once the X server is gone" exited
wait_for_exit
check "without its X server Kestrelle exits with a failure status" test "$exit_status" -ne 0
check "it spent no more than a second of CPU on the way out" test "$cpu_ticks" -le "$(getconf CLK_TCK)"
expect "it says why in one line" 1 "$(wc -l <"$log")"
check "in the log's format, time, process and text" \
    grep -qE "^[0-9-]{10} [0-9:.]{12} kestrelle\[[0-9]+\] The X11 connection broke" "$log"

# The tray host 2 s after Kestrelle, as at a login: the window opened for want of a tray closes once the
# icon docks, unless the person used it first.
start_xvfb 640x480x24 "$work/xvfb-late.log"
closed_for_tray="Closed the Kestrelle window: the Kestrelle icon is now in the tray"
for use in none clicked moved; do
    : >"$log"
    start_kestrelle "$app"
    wait_for_window Kestrelle
    case $use in
    clicked) click_in Kestrelle 2 2 ;;
    moved) xdotool windowmove --sync "$(visible_window Kestrelle)" 20 100 ;;
    esac
    sleep 2
    start_tray_host "$work"
    wait_for_icon
    if [ $use = none ]; then
        wait_for "the window to close once the icon docks" window_gone Kestrelle
        expect "once the icon docks the window closes, saying so once, and Kestrelle runs on" "1 running" \
            "$(log_count "$closed_for_tray") $(process_gone "$kestrelle_pid" || echo running)"
        said=$(timeout 20 "$app/kestrelle" 2>&1 >/dev/null) && sleep 1.5
        expect "then a second start says that Kestrelle runs and opens no window" \
            "Kestrelle is already running (process $kestrelle_pid); this one exits 0" "${said#*] } $(window_count Kestrelle)"
    else
        sleep 1.5
        expect "a window $use before the tray came stays" "1 0" "$(window_count Kestrelle) $(log_count "$closed_for_tray")"
    fi
    quit_kestrelle
    stop_pids "$tray_host_pid"
done
stop_pids "$xvfb_pid"
finish
