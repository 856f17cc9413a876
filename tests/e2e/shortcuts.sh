#!/usr/bin/env bash
# Global shortcuts recorded in the keyboard-shortcuts window: stored in the settings file, and pressed
# anywhere they start the same capture as the menu at once. faults/load.sh presses a stored shortcut
# right after a start.
source "$(dirname "$0")/lib.sh"

# The recorder fields in the window, which has a fixed size and layout.
desktop_recorder=(305 28)
clipboard_recorder=(305 60)

shots="$work/shots"
mkdir "$shots"
stage_with_recorder "$work/app"
start_kestrelle "$work/app"
wait_for_icon

# record KEYS RECORDER_X RECORDER_Y : a click on the recorder, then the key combination.
record() { click_in "Keyboard Shortcuts" "$2" "$3" && xdotool key "$1"; }

choose_menu_entry "Set keyboard shortcuts..."
wait_for_window "Keyboard Shortcuts"
record ctrl+alt+k "${clipboard_recorder[@]}"
wait_for "the clipboard shortcut to be stored" setting_is CaptureClipboardShortcut Ctrl+Alt+K
echo "ok - the recorded clipboard shortcut is stored as Ctrl+Alt+K"
record ctrl+alt+d "${desktop_recorder[@]}"
wait_for "the desktop shortcut to be stored" setting_is CaptureShortcut Ctrl+Alt+D
echo "ok - the recorded desktop shortcut is stored as Ctrl+Alt+D"
close_window "Keyboard Shortcuts"

capture_with choose_menu_entry "Capture Desktop to Clipboard"
menu=$arguments
capture_with xdotool key ctrl+alt+k
expect "Ctrl+Alt+K starts the tool as the menu entry does" "$menu" "$arguments"

before=$(date +%s)
capture_with eval 'xdotool key ctrl+alt+d && choose_folder "$shots"'
after=$(date +%s)
check "Ctrl+Alt+D opens the chooser and captures to the typed folder" \
    capture_path_fits "$before" "$after" "$shots" png "$(recorded_path 3)"
finish
