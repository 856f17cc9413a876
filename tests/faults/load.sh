#!/usr/bin/env bash
# Captures started faster than a person could: a hundred presses of the clipboard shortcut in one
# burst, then a hundred through the menu. Every press starts its own tool process, the menu still
# opens, and the program keeps no child, zombie or file descriptor of theirs afterwards.
source "$(dirname "$0")/../e2e/lib.sh"

seed_settings CaptureClipboardShortcut=Ctrl+Alt+K
stage_with_recorder "$work/app"
start_kestrelle "$work/app"
wait_for_icon
# Opening the menu once first: Qt creates the pop-up's resources on first use, not per capture.
open_and_dismiss_menu
descriptors=$(open_descriptors "$kestrelle_pid")

# Two milliseconds between presses, faster than any hand: a release and a press in the same
# millisecond are how the server reports a held key repeating, which must not capture again.
xdotool key --delay 2 --repeat 100 --repeat-delay 2 ctrl+alt+k
wait_for_start "$starts" 100
expect "100 presses start the tool 100 times" 100 "$(recorded_starts "$starts")"
expect "every shortcut capture is a silent clipboard capture" '"-c" "-x"' \
    "$(cut -d' ' -f2- "$starts" | sort -u)"
check "a shortcut opens no window of Kestrelle besides its icon" test "$(kestrelle_windows | wc -l)" -eq 1
open_and_dismiss_menu
echo "ok - the menu opens right after the burst"

# Through the menu as fast as it opens: a click every half second, or two would be a double click.
for _ in $(seq 100); do
    choose_menu_entry "Capture Desktop to Clipboard"
done
wait_for_start "$starts" 200
expect "a hundred menu captures start the tool a hundred times more" 200 "$(recorded_starts "$starts")"
wait_for "Kestrelle to have no child process left" no_children "$kestrelle_pid"
check "no zombie is left under Kestrelle" test -z "$(children "$kestrelle_pid" | awk '$2 ~ /Z/')"
descriptors_after=$(open_descriptors "$kestrelle_pid")
check "Kestrelle holds no more file descriptors than before the captures ($descriptors, now $descriptors_after)" \
    test "$descriptors_after" -le "$descriptors"
check "nothing was logged but the first start's repair" test "$(wc -l <"$log")" -le 1
quit_kestrelle "Kestrelle quits with status 0 after the load"
finish
