#!/usr/bin/env bash
# Both captures through the menu with the real capture tool: the image on the clipboard and the file
# in the chosen folder are the screen, read back with xclip and ImageMagick, with neither the menu nor
# the chooser in them.
source "$(dirname "$0")/lib.sh"

xsetroot -solid '#3366cc'
screen=$(screen_size)
# facts FILE : format, size, and the share of pixels away from the tray (top right) that are not the
# desktop's colour.
facts() {
    echo "$(identify -format '%m %wx%h' "$1")" "$(convert "$1" -crop 1000x800+0+0 +repage -fill black \
        -opaque '#3366cc' -fill white +opaque black -format '%[fx:mean]' info:)"
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
expect "the clipboard holds a PNG of the whole screen, only the desktop in it" "PNG $screen 0" \
    "$(facts "$work/pasted.png")"

shots="$work/my shots"
mkdir "$shots"
before=$(date +%s)
choose_menu_entry "Capture Desktop"
after=$(date +%s)
choose_folder "$shots"
png_in() { [ -n "$(find "$shots" -type f -name '*.png')" ]; }
wait_for "a file in the typed folder" png_in
file=$(find "$shots" -type f)
check "the folder's one file is named after the moment of the menu choice" \
    capture_path_fits "$before" "$after" "$shots" png "$file"
expect "it is a PNG of the whole screen, only the desktop in it" "PNG $screen 0" "$(facts "$file")"

quit_kestrelle "Kestrelle quits with status 0 while the clipboard is still served"
check "the image stays on the clipboard after Kestrelle has quit" pasted_png
check "nothing was logged but the first start's repair" test "$(wc -l <"$log")" -eq 1
finish
