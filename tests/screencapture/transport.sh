#!/usr/bin/env bash
# The same picture through every way the grab can reach the server: shared memory over the
# local socket, and GetImage where shared memory cannot work (a TCP connection, as to a remote
# display, and a server without MIT-SHM). The desktop's odd size leaves a short last stripe
# and a short last JPEG band.
source "$(dirname "$0")/lib.sh"

start_server local 1001x603x24 -nolisten tcp
start_server tcp 1001x603x24 -listen tcp
start_server noshm 1001x603x24 -nolisten tcp -extension MIT-SHM

for way in "local :${display[local]}" "tcp 127.0.0.1:${display[tcp]}" "noshm :${display[noshm]}"; do
    read -r name DISPLAY <<<"$way"
    export DISPLAY
    show_test_picture
    grab_reference "$work/$name-reference.png"
    "$tool" -x "$work/$name.png"
    "$tool" -x "$work/$name.jpg"
    check "$name: PNG has exactly the pixels on screen" same_pixels "$work/$name.png" "$work/$name-reference.png"
    check "$name: JPEG of the screen's size" test "$(image_info "$work/$name.jpg")" = "JPEG 1001x603"
    check "$name: JPEG looks like the screen" jpeg_close "$work/$name.jpg" "$work/$name-reference.png"
    check "$name: JPEG decodes without a warning" decodes_cleanly "$work/$name.jpg"
done
finish
