#!/usr/bin/env bash
# The tray icon, its menu's entries and the signals that end Kestrelle, with the capture tool replaced
# by a recording stand-in. Both captures with the real tool are in install/prefix.sh; clicks on an icon
# in a real panel, and a panel started after Kestrelle, in tests/desktops/tray.sh; a second instance in
# tests/desktops/reach.sh.
source "$(dirname "$0")/lib.sh"

stage_with_recorder "$work/app"
start_kestrelle "$work/app"
wait_for_icon
# The icon may dock before the launch has finished: its last step is the first start's repair.
wait_for "the first start to store the file type" setting_is screenshotFileTypeIndex 0
expect "the first start stores png at index 0 and says so once" png/0/1 \
    "$(setting screenshotFileType)/$(setting screenshotFileTypeIndex)/$(log_count 'No value set for screenshotFileTypeIndex')"

# A second click soon after the menu was dismissed, which Qt reports as a double click, opens it again.
# One xdotool run, so that the server's time stamps put the clicks a quarter of a second apart however
# loaded the machine is.
space_clicks
xdotool mousemove --window "$(kestrelle_icon)" 8 8 click 1 sleep 0.2 key Escape sleep 0.05 click 1
wait_for "the menu to open on a second click right after it was dismissed" menu_open
xdotool key Escape
wait_for "the menu to close on Escape" menu_closed

# A cancelled chooser starts nothing: the first start seen is the clipboard capture made after it.
choose_menu_entry "Capture Desktop"
answer_chooser Escape
capture_with choose_menu_entry "Capture Desktop to Clipboard"
expect '"Capture Desktop to Clipboard" starts the tool with -c -x, the cancelled chooser nothing' \
    '1 "-c" "-x"' "$(recorded_starts "$starts") $arguments"

# Each window closed is the only one open: the program must not quit with it.
for entry in "Set keyboard shortcuts...=Keyboard Shortcuts" "Preferences...=Preferences" \
    "About Kestrelle=About Kestrelle"; do
    title=${entry#*=}
    choose_menu_entry "${entry%%=*}"
    wait_for_window "$title"
    choose_menu_entry "${entry%%=*}"
    expect "\"${entry%%=*}\" chosen twice shows one \"$title\" window" 1 "$(window_count "$title")"
    close_window "$title"
    choose_menu_entry "${entry%%=*}"
    wait_for_window "$title"
    echo "ok - \"$title\" comes back after it was closed"
    close_window "$title"
done

# Each signal ends Kestrelle with status 0, its icon gone and nothing logged; a new start works at once.
for signal in TERM HUP INT; do
    lines=$(wc -l <"$log")
    kill "-$signal" "$kestrelle_pid"
    wait_for_exit
    expect "SIG$signal ends Kestrelle with status 0" 0 "$exit_status"
    wait_for "the icon to leave the tray after SIG$signal" icon_gone
    expect "SIG$signal logs nothing" "$lines" "$(wc -l <"$log")"
    start_kestrelle "$work/app"
    wait_for_icon
done
finish
