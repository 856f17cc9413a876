#!/usr/bin/env bash
# Captures started faster than a person could, by shortcut and through the menu: each starts its own
# tool, and none leaves a process, a descriptor in Kestrelle or an X client behind.
source "$(dirname "$0")/../e2e/lib.sh"

shots=$work/shots
mkdir "$shots"
seed_settings CaptureShortcut=Ctrl+Alt+D CaptureClipboardShortcut=Ctrl+Alt+K
# Every start is recorded; all but the clipboard's go on to the real tool.
stage_with_recorder "$work/app"
cp "$real_tool" "$work/app/real"
printf '[ "$1" = -c ] || exec %q "$@"\n' "$work/app/real" >>"$work/app/screencapture"
# The choosers open in the folder Kestrelle was started in, so Return alone confirms each: typing a
# path into a hundred choosers at this pace races their completion pop-ups.
cd "$shots"
# The tools detach into sessions of their own: what Kestrelle started is found by this mark, which they
# inherit. A zombie has no environment, so Kestrelle's children are counted too.
KESTRELLE_LOAD_RUN=$work start_kestrelle "$work/app"
left_behind() {
    grep -lzxF "KESTRELLE_LOAD_RUN=$work" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3 | grep -vx "$kestrelle_pid"
    children "$kestrelle_pid"
}
nothing_left() { [ -z "$(left_behind || true)" ]; }
x_clients() { awk -v x="/tmp/.X11-unix/X${DISPLAY#:}" '$6 == "03" && ($8 == x || $8 == "@" x)' /proc/net/unix | wc -l; }
cd - >/dev/null
wait_for_icon

has_files() { [ "$(find "$shots" -maxdepth 1 -type f -name '*.png' | wc -l)" -ge "$1" ]; }
clipboard_captures() { grep -c '"-c"' "$starts" || true; }
has_clipboard_captures() { [ "$(clipboard_captures)" -ge "$1" ]; }

# First a menu and two file captures: Qt sets up the pop-up's resources and what its file dialogs
# share on first use, and opens the MIME database when a chooser first lists a file.
open_and_dismiss_menu
before=$(date +%s)
for n in 1 2; do
    xdotool key ctrl+alt+d
    answer_chooser Return
    wait_for "file number $n" has_files "$n"
done
wait_for "the first captures' tools to end" nothing_left
descriptors=$(find "/proc/$kestrelle_pid/fd" -mindepth 1 | wc -l) clients=$(x_clients)

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

# Two milliseconds between presses, faster than any hand: a release and a press in the same
# millisecond are how the server reports a held key repeating, which must not capture again.
xdotool key --delay 2 --repeat 100 --repeat-delay 2 ctrl+alt+k
wait_for "100 clipboard captures" has_clipboard_captures 100
expect "100 presses start the tool 100 times, each a silent clipboard capture" '100 "-c" "-x"' \
    "$(clipboard_captures) $(grep '"-c"' "$starts" | cut -d' ' -f2- | sort -u)"
check "a shortcut opens no window of Kestrelle besides its icon" test "$(kestrelle_windows | wc -l)" -eq 1
# Right after the burst, through the menu as fast as it opens: a click every half second, or two would
# be a double click.
for _ in $(seq 100); do choose_menu_entry "Capture Desktop to Clipboard"; done
wait_for "200 clipboard captures" has_clipboard_captures 200
expect "a hundred menu captures start the tool a hundred times more" 200 "$(clipboard_captures)"

wait_for "every tool to end, leaving no process behind" nothing_left
descriptors_after=$(find "/proc/$kestrelle_pid/fd" -mindepth 1 | wc -l)
check "Kestrelle holds no more file descriptors than before the captures ($descriptors, now $descriptors_after)" \
    test "$descriptors_after" -le "$descriptors"
check "the X server has no more clients than before the captures ($clients, now $(x_clients))" \
    test "$(x_clients)" -le "$clients"
check "nothing was logged but the first start's repair" test "$(wc -l <"$log")" -le 1
quit_kestrelle "Kestrelle quits with status 0 after the load"
finish
