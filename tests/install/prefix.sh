#!/usr/bin/env bash
# Both captures through the tray menu of the build ($1) installed into a prefix: the screen, neither the
# menu nor the chooser in it.
build=$1
source "$(dirname "$0")/../e2e/lib.sh" "" "" ""
export XDG_CACHE_HOME=$work/cache
# Not the configured prefix, and with a space: the program finds its tool wherever it was put.
prefix="$work/my prefix"
tool="$prefix/libexec/kestrelle/screencapture"
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
check "the install puts kestrelle alone in bin/ and the capture tool in libexec/kestrelle/" \
    test "$(ls "$prefix/bin")" = kestrelle -a -x "$tool"

xsetroot -solid '#3366cc'
screen=$(screen_size)
# facts FILE : format, size, and the share of pixels away from the tray that are not the desktop's.
facts() {
    echo "$(identify -format '%m %wx%h' "$1")" "$(convert "$1" -crop 1000x800+0+0 +repage -fill black \
        -opaque '#3366cc' -fill white +opaque black -format '%[fx:mean]' info:)"
}
pasted_png() {
    timeout 10 xclip -selection clipboard -t image/png -o >"$work/pasted.png" 2>/dev/null &&
        identify "$work/pasted.png" >/dev/null 2>&1
}

start_kestrelle "$prefix/bin"
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

# With the installed tool gone nothing takes its place: the captures came from it.
rm "$tool" "$file"
capture_to_folder "$shots"
wait_for "the program to say it found no capture tool" log_has 'Could not start'
check "without the installed tool the program looks in the prefix's bin/ and libexec/kestrelle/ only" \
    log_has "Could not start /usr/sbin/screencapture: it is not installed (also looked in $prefix/bin, $prefix/libexec/kestrelle)"

quit_kestrelle "the installed program quits with status 0 while the clipboard is still served"
check "the image stays on the clipboard after Kestrelle has quit" pasted_png
check "nothing else was logged but the first start's repair" test "$(wc -l <"$log")" -eq 2
finish
