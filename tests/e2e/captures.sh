#!/usr/bin/env bash
# Both captures through the menu with the real capture tool: the image on the clipboard and the file
# in the chosen folder are the screen, read back with xclip and ImageMagick.
source "$(dirname "$0")/lib.sh"

# A desktop whose colour a capture must show.
xsetroot -solid '#3366cc'
screen=$(screen_size)

# image_facts FILE : format, size and the colour of a pixel in the middle of the desktop.
image_facts() {
    identify -format '%m %wx%h ' "$1" 2>/dev/null && convert "$1" -format '%[hex:p{640,400}]' info: 2>/dev/null | cut -c1-6
}

# desktop_only FILE : away from the tray in the top right corner, every pixel is the desktop's colour:
# neither the menu nor the chooser shows in the capture.
desktop_only() {
    [ "$(convert "$1" -crop 1000x800+0+0 +repage -fill black -opaque '#3366cc' -fill white +opaque black \
        -format '%[fx:mean]' info:)" = 0 ]
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
check "the menu is not in the clipboard's image" desktop_only "$work/pasted.png"

shots="$work/my shots"
mkdir "$shots"
before=$(date +%s)
choose_menu_entry "Capture Desktop"
after=$(date +%s)
choose_folder "$shots"
wait_for_capture_file "$shots" "$before" "$after"
expect "the file is a PNG of the whole screen showing the desktop" "PNG $screen 3366CC" "$(image_facts "$file")"
check "the chooser is not in the file" desktop_only "$file"
check "nothing but the capture is left in the folder" test "$(find "$shots" -mindepth 1 | wc -l)" -eq 1

quit_kestrelle "Kestrelle quits with status 0 while the clipboard is still served"
check "the image stays on the clipboard after Kestrelle has quit" pasted_png
check "nothing was logged but the first start's repair" test "$(wc -l <"$log")" -eq 1
finish
