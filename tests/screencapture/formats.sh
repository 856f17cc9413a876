#!/usr/bin/env bash
# What lands in the file: the pixels on screen, in the format the extension names.
source "$(dirname "$0")/lib.sh"

show_test_picture
grab_reference "$work/reference.png"
size=$(screen_size)

"$tool" -x "$work/shot.png"
check "PNG has exactly the pixels on screen" same_pixels "$work/shot.png" "$work/reference.png"

for name in shot.jpg shot.JPEG shot.tif shot.TIFF shot.bmp shot.webp; do
    "$tool" -x "$work/$name"
done
check "jpg is JPEG of the screen's size" test "$(image_info "$work/shot.jpg")" = "JPEG $size"
check "JPEG in capitals is JPEG" test "$(image_info "$work/shot.JPEG")" = "JPEG $size"
check "tif is TIFF of the screen's size" test "$(image_info "$work/shot.tif")" = "TIFF $size"
check "TIFF in capitals is TIFF" test "$(image_info "$work/shot.TIFF")" = "TIFF $size"
check "bmp is BMP of the screen's size" test "$(image_info "$work/shot.bmp")" = "BMP3 $size"
check "webp is WebP of the screen's size" test "$(image_info "$work/shot.webp")" = "WEBP $size"
check "TIFF is lossless" same_pixels "$work/shot.tif" "$work/reference.png"
check "BMP is lossless" same_pixels "$work/shot.bmp" "$work/reference.png"
check "WebP is lossless" same_pixels "$work/shot.webp" "$work/reference.png"
check "JPEG looks like the screen" jpeg_close "$work/shot.jpg" "$work/reference.png"
check "JPEG decodes without a warning" decodes_cleanly "$work/shot.jpg"

err=$("$tool" -x "$work/shot.gif" 2>&1) && status=0 || status=$?
check "unknown extension still saves, as PNG" test "$status" -eq 0 -a "$(image_info "$work/shot.gif")" = "PNG $size"
check "unknown extension warns once" test "$(printf '%s\n' "$err" | grep -c 'screencapture:')" -eq 1
"$tool" -x "$work/noextension" 2>/dev/null
check "no extension saves PNG" test "$(image_info "$work/noextension")" = "PNG $size"

"$tool" -x "$work/Kestrelle on 01-02-2031 at 02.05.09 PM.png"
"$tool" -x "$work/Kestrelle on 01-02-2031 at 02.05.09 PM.png"
"$tool" -x "$work/Kestrelle on 01-02-2031 at 02.05.09 PM.png"
check "same name twice keeps both" same_pixels "$work/Kestrelle on 01-02-2031 at 02.05.09 PM.png" \
    "$work/Kestrelle on 01-02-2031 at 02.05.09 PM 2.png"
check "third gets 3" test "$(image_info "$work/Kestrelle on 01-02-2031 at 02.05.09 PM 3.png")" = "PNG $size"
check "no temporary files left" test -z "$(find "$work" -name '.*' -mindepth 1)"
finish
