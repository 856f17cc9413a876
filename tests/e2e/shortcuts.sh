#!/usr/bin/env bash
# Global shortcuts recorded in the keyboard-shortcuts window are stored in the settings file and work
# at once. faults/load.sh presses stored ones, the desktop shortcut among them, right after a start.
source "$(dirname "$0")/lib.sh"

stage_with_recorder "$work/app"
start_kestrelle "$work/app"
wait_for_icon
choose_menu_entry "Set keyboard shortcuts..."
wait_for_window "Keyboard Shortcuts"
# A click on a recorder (the window has a fixed layout), then the key combination.
click_in "Keyboard Shortcuts" 305 60 && xdotool key ctrl+alt+k
wait_for "the clipboard shortcut to be stored as Ctrl+Alt+K" setting_is CaptureClipboardShortcut Ctrl+Alt+K
click_in "Keyboard Shortcuts" 305 28 && xdotool key ctrl+alt+d
wait_for "the desktop shortcut to be stored as Ctrl+Alt+D" setting_is CaptureShortcut Ctrl+Alt+D
close_window "Keyboard Shortcuts"
capture_with xdotool key ctrl+alt+k
expect "the recorded Ctrl+Alt+K starts a clipboard capture" '"-c" "-x"' "$arguments"
finish
