#!/usr/bin/env bash
# A hundred file captures with the real capture tool, started in quick succession: a burst of the
# desktop shortcut opens a hundred choosers, each naming its capture after the moment of its press,
# many in the same second; confirming them one after another starts the tool a hundred times while
# earlier runs still encode. Every capture must end as a file of its own that decodes, none
# overwritten. The choosers open in the folder Kestrelle was started in, so Return alone confirms
# each: typing a path into a hundred choosers at this pace races their completion pop-ups.
source "$(dirname "$0")/../e2e/lib.sh"

shots=$work/shots
mkdir "$shots"
seed_settings CaptureShortcut=Ctrl+Alt+D
stage_with_tool "$work/app"
cd "$shots"
start_kestrelle "$work/app"
cd - >/dev/null
wait_for_icon

file_count() { find "$shots" -maxdepth 1 -type f -name '*.png' | wc -l; }
has_files() { [ "$(file_count)" -ge "$1" ]; }

# Two captures first: Qt sets up what its file dialogs share on first use, not per dialog, and
# opens the MIME database when a chooser first lists a file.
before=$(date +%s)
for n in 1 2; do
    xdotool key ctrl+alt+d
    answer_chooser Return
    wait_for "file number $n" has_files "$n"
done
wait_for "Kestrelle to have no child process left" no_children "$kestrelle_pid"
descriptors=$(open_descriptors "$kestrelle_pid")

xdotool key --delay 2 --repeat 98 --repeat-delay 2 ctrl+alt+d
all_choosers() { [ "$(window_count "$kestrelle_chooser_title")" -eq 98 ]; }
wait_for "98 directory choosers" all_choosers
# The presses queue up: the last may be handled a little after xdotool has sent it.
after=$(date +%s)

answer_chooser Return
wait_for "a hundred files in the folder" has_files 100
expect "a hundred captures give a hundred files and nothing else in the folder" 100 "$(find "$shots" -mindepth 1 | wc -l)"
# Each name is a press's moment, with " N" added by the tool when that name was taken.
expect "every file is named after the moment of a press" "" "$(find "$shots" -type f -printf '%f\n' |
    sed -E 's/( [0-9]+)?\.png$//' | grep -vxF -- "$(capture_file_names "$before" "$after")" || true)"
expect "every file decodes" "" \
    "$(for file in "$shots"/*; do identify -regard-warnings "$file" >/dev/null 2>&1 || echo "$file"; done)"
check "Kestrelle is still running" test -d "/proc/$kestrelle_pid"
wait_for "Kestrelle to have no child process left" no_children "$kestrelle_pid"
descriptors_after=$(open_descriptors "$kestrelle_pid")
check "Kestrelle holds no more file descriptors than before the choosers ($descriptors, now $descriptors_after)" \
    test "$descriptors_after" -le "$descriptors"
check "nothing was logged but the first start's repair" test "$(wc -l <"$log")" -le 1
finish
