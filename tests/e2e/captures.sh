#!/usr/bin/env bash
# Both captures through the menu with the real capture tool: the image on the clipboard and the file
# in the chosen folder are the screen, read back with xclip and ImageMagick.
source "$(dirname "$0")/lib.sh"

# A desktop whose colour a capture must show.
xsetroot -solid '#3366cc'
screen=$(xdpyinfo | awk '/dimensions:/ { print $2 }')

# image_facts FILE : format, size and the colour of a pixel in the middle of the desktop.
image_facts() {
    identify -format '%m %wx%h ' "$1" 2>/dev/null &&
        convert "$1" -format '%[hex:p{640,400}]' info: 2>/dev/null | cut -c1-6
}

pasted_png() {
    timeout 10 xclip -selection clipboard -t image/png -o >"$work/pasted.png" 2>/dev/null &&
        identify "$work/pasted.png" >/dev/null 2>&1
}

stage_with_tool "$work/app"
start_kestrelle "$work/app"
wait_for_icon

choose_menu_entry "Capture Desktop to Clipboard"
wait_for "a PNG image on the clipboard" pasted_png
expect "the clipboard holds a PNG of the whole screen showing the desktop" "PNG $screen 3366CC" \
    "$(image_facts "$work/pasted.png")"

shots="$work/my shots"
mkdir "$shots"
before=$(date +%s)
choose_menu_entry "Capture Desktop"
after=$(date +%s)
choose_folder "$shots"
saved() { [ -n "$(find "$shots" -type f -name '*.png')" ]; }
wait_for "a file in \"$shots\"" saved
file=$(find "$shots" -type f)
check "the one file in the folder is named after the moment of the menu choice" \
    capture_path_fits "$before" "$after" "$shots" png "$file"
expect "the file is a PNG of the whole screen showing the desktop" "PNG $screen 3366CC" "$(image_facts "$file")"
echo "  saved: $file ($(stat -c %s "$file") bytes)"
check "nothing but the capture is left in the folder" test "$(find "$shots" -mindepth 1 | wc -l)" -eq 1

quit_kestrelle
expect "Kestrelle quits with status 0 while the clipboard is still served" 0 "$exit_status"
check "the image stays on the clipboard after Kestrelle has quit" pasted_png
check "nothing was logged but the first start's repair" test "$(wc -l <"$log")" -eq 1
finish
