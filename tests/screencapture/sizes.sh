#!/usr/bin/env bash
# Desktop sizes around the boundaries of the grab's stripes (16 rows) and of the JPEG bands
# (128 rows) that are compressed apart and joined: one row, a stripe and a row, a band exactly,
# a band and a row, many bands of one column.
source "$(dirname "$0")/lib.sh"

sizes=(7x1 33x17 64x128 130x129 1x2049)
for size in "${sizes[@]}"; do
    start_server "s$size" "${size}x24" -nolisten tcp
done
for size in "${sizes[@]}"; do
    export DISPLAY=":${display[s$size]}"
    show_test_picture
    grab_reference "$work/$size-reference.png"
    "$tool" -x "$work/$size.png"
    "$tool" -x "$work/$size.jpg"
    check "$size: PNG has exactly the pixels on screen" same_pixels "$work/$size.png" "$work/$size-reference.png"
    check "$size: JPEG of the screen's size" test "$(image_info "$work/$size.jpg")" = "JPEG $size"
    check "$size: JPEG decodes without a warning" decodes_cleanly "$work/$size.jpg"
done
finish
