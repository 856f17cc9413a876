#!/usr/bin/env bash
# The preferences window: a click on each check box and a file type chosen from the pop-up with the
# keyboard are stored at once and survive a kill -9 and a restart to steer the captures. That a running instance
# reads them at each capture is checked by the unit tests.
source "$(dirname "$0")/lib.sh"

shots="$work/shots"
mkdir "$shots"
stage_with_recorder "$work/app"
start_kestrelle "$work/app"
wait_for_icon

choose_menu_entry "Preferences..."
wait_for_window "Preferences"
click_in "Preferences" "${play_sound_box[@]}"
wait_for "the play-sound setting to be stored" setting_is playSoundAfterScreenshot true
check "clicking \"Play sound\" logs it once" \
    test "$(log_count 'Setting changed: Playing sound after screenshot')" -eq 1
click_in "Preferences" "${open_viewer_box[@]}"
wait_for "the open-in-viewer setting to be stored" setting_is openInPreview true
check "clicking \"Open in the image viewer\" logs it once" \
    test "$(log_count 'Setting changed: Opening screenshot in Preview after saving is complete')" -eq 1

# The pop-up opens on a click; Down twice from PNG is TIFF, Return takes it.
click_in "Preferences" "${file_type_popup[@]}"
wait_for "the file-type list to open" menu_open
xdotool key Down Down Return
wait_for "the file type to be stored" setting_is screenshotFileType tiff
expect "the pop-up stores the type and its index" tiff/2 \
    "$(setting screenshotFileType)/$(setting screenshotFileTypeIndex)"
check "choosing TIFF logs it once" test "$(log_count 'Setting screenshot file type to tiff')" -eq 1

# Killed with the window open, not quit: nothing is left to write at the end. After the restart the
# captures (clipboard, then file) use all three stored settings.
stored=$(cat "$settings")
kill -9 "$kestrelle_pid"
wait_for_exit
start_kestrelle "$work/app"
wait_for_icon
expect "a restart leaves the settings file as it was" "$stored" "$(cat "$settings")"
capture_with choose_menu_entry "Capture Desktop to Clipboard"
expect "with sound on, a clipboard capture has no -x" '"-c"' "$arguments"
before=$(date +%s)
capture_with capture_to_folder "$shots"
after=$(date +%s)
expect "a file capture opens the file in the viewer and plays the sound" '"-P" "…"' "${arguments% \"*} \"…\""
check "the file is a .tiff" capture_path_fits "$before" "$after" "$shots" tiff "$(recorded_path 2)"

# The check box shows the stored state after the restart: one click turns it off.
choose_menu_entry "Preferences..."
wait_for_window "Preferences"
click_in "Preferences" "${play_sound_box[@]}"
wait_for "the play-sound setting to be stored as off" setting_is playSoundAfterScreenshot false
check "after a restart the box was checked: a click logs \"Not playing sound\"" \
    log_has 'Setting changed: Not playing sound after screenshot'
capture_with choose_menu_entry "Capture Desktop to Clipboard"
expect "with sound off again, the clipboard capture has -x" '"-c" "-x"' "$arguments"
finish
