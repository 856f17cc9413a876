#!/usr/bin/env bash
# Kestrelle through its tray icon, the capture tool a recording stand-in. (The real tool's captures are
# in install/prefix.sh; a real panel's clicks and a second instance in tests/desktops.)
source "$(dirname "$0")/lib.sh"

# grey TITLE X Y W H : the spread of grey levels and the mean grey (0 to 1) in that part of the window.
grey() {
    xwd -silent -id "$(visible_window "$1")" |
        convert xwd:- -crop "${4}x${5}+${2}+${3}" -colorspace Gray -format '%[fx:maxima-minima] %[fx:mean]' info:
}
legible() { awk -v c="$(grey "$@" | cut -d' ' -f1)" 'BEGIN { exit !(c > 0.4) }'; }

# looks LOOK : both windows drawn in LOOK (dark: a stored interface style); leaves Preferences open.
looks() {
    choose_menu_entry "Set keyboard shortcuts..."
    wait_for "the $1 Keyboard Shortcuts window to be drawn, its first label readable" \
        legible "Keyboard Shortcuts" 20 20 100 16
    check "$1 look: a shortcut recorder's text can be read" legible "Keyboard Shortcuts" 220 20 170 16
    close_window "Keyboard Shortcuts"
    choose_menu_entry "Preferences..."
    wait_for "the $1 Preferences window to be drawn, its first label readable" legible Preferences 36 32 170 16
    expect "$1 look: the Preferences window's background, from an empty corner" "$1" \
        "$(awk -v m="$(grey Preferences 300 140 40 20 | cut -d' ' -f2)" 'BEGIN { print (m > 0.5 ? "light" : "dark") }')"
    check "$1 look: the file-type pop-up's text can be read" legible Preferences 90 119 45 17
}

stage_with_recorder "$work/app"
start_kestrelle "$work/app"
wait_for_icon
wait_for "the first start to store the file type" setting_is screenshotFileTypeIndex 0
expect "the first start stores png at index 0 and says so once" png/0/1 \
    "$(setting screenshotFileType)/$(setting screenshotFileTypeIndex)/$(log_count 'No value set for screenshotFileTypeIndex')"

# A second click soon after the menu was dismissed, a double click to Qt, opens it again. One xdotool
# run: the server's time stamps put the clicks 0.25 s apart however loaded the machine is.
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
    close_window "$title"
done

shots="$work/shots"
mkdir "$shots"
choose_menu_entry "Set keyboard shortcuts..."
wait_for_window "Keyboard Shortcuts"
click_in "Keyboard Shortcuts" 305 60 && xdotool key ctrl+alt+k
wait_for "the clipboard shortcut to be stored as Ctrl+Alt+K" setting_is CaptureClipboardShortcut Ctrl+Alt+K
click_in "Keyboard Shortcuts" 305 28 && xdotool key ctrl+alt+d
wait_for "the desktop shortcut to be stored as Ctrl+Alt+D" setting_is CaptureShortcut Ctrl+Alt+D
close_window "Keyboard Shortcuts"
capture_with xdotool key ctrl+alt+k
expect "the recorded Ctrl+Alt+K starts a clipboard capture" '"-c" "-x"' "$arguments"
looks light

click_in Preferences "${play_sound_box[@]}"
wait_for "the play-sound setting to be stored" setting_is playSoundAfterScreenshot true
click_in Preferences "${open_viewer_box[@]}"
wait_for "the open-in-viewer setting to be stored" setting_is openInPreview true
click_in Preferences "${file_type_popup[@]}"
wait_for "the file-type list to open" menu_open
xdotool key Down Down Return
wait_for "the file type to be stored" setting_is screenshotFileType tiff
expect "the pop-up stores the type and its index" tiff/2 "$(setting screenshotFileType)/$(setting screenshotFileTypeIndex)"
expect "each click is logged once" "1 1 1" "$(log_count 'Setting changed: Playing sound after screenshot') $(
    log_count 'Setting changed: Opening screenshot in Preview after saving is complete') $(
    log_count 'Setting screenshot file type to tiff')"

# Killed, not quit: nothing is left to write at the end. After a restart in the dark look, the captures
# use all three stored settings.
kill -9 "$kestrelle_pid"
wait_for_exit
echo AppleInterfaceStyle=Dark >>"$settings"
stored=$(cat "$settings")
start_kestrelle "$work/app"
wait_for_icon
capture_with choose_menu_entry "Capture Desktop to Clipboard"
expect "with sound on, a clipboard capture has no -x" '"-c"' "$arguments"
before=$(date +%s)
capture_with capture_to_folder "$shots"
after=$(date +%s)
expect "a file capture opens the file in the viewer and plays the sound" '"-P" "…"' "${arguments% \"*} \"…\""
check "the file is a .tiff" capture_path_fits "$before" "$after" "$shots" tiff "$(recorded_path 4)"
expect "a restart leaves the settings file as it was" "$stored" "$(cat "$settings")"

looks dark
click_in Preferences "${play_sound_box[@]}"
wait_for "the play-sound setting to be stored as off" setting_is playSoundAfterScreenshot false
check "after a restart the box was checked: a click logs \"Not playing sound\"" \
    log_has 'Setting changed: Not playing sound after screenshot'

# Each signal ends Kestrelle with status 0, its icon gone and nothing logged; a new start works at once.
for signal in TERM HUP INT; do
    lines=$(wc -l <"$log")
    kill "-$signal" "$kestrelle_pid"
    wait_for_exit
    expect "SIG$signal ends Kestrelle with status 0" 0 "$exit_status"
    wait_for "the icon to leave the tray after SIG$signal" eval '! icon_docked'
    expect "SIG$signal logs nothing" "$lines" "$(wc -l <"$log")"
    start_kestrelle "$work/app"
    wait_for_icon
done
finish
