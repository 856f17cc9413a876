#!/usr/bin/env bash
# What lands in the file: the pixels on screen, in the format the extension names, from private X servers.
source "$(dirname "$0")/lib.sh"

# NAME SCREEN XVFB-ARGS: shared memory, TCP, no MIT-SHM; sizes about the grab's 16-row stripes and the
# JPEG's 128-row bands (1001x603 leaves a short last one of each; one row, a stripe and a row, a band, a
# band and a row, many bands of one column); 16- and 30-bit depths.
servers_table=(
    "local 1001x603x24 -nolisten tcp" "tcp 1001x603x24 -listen tcp"
    "noshm 1001x603x24 -nolisten tcp -extension MIT-SHM"
    "7x1 7x1x24" "33x17 33x17x24" "64x128 64x128x24" "130x129 130x129x24" "1x2049 1x2049x24"
    "depth16 800x600x16" "depth30 800x600x30")
# A JPEG of the screen's size that decodes without a warning and, where there is more than a few blocks'
# edges to compare, stays close to the screen at quality 90.
jpeg_like() {
    local error
    error=$(compare -metric RMSE "$work/$1.jpg" "$work/$1-reference.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/') || true
    [ "$(image_info "$work/$1.jpg")" = "JPEG $size" ] && decodes_cleanly "$work/$1.jpg" &&
        { [[ $1 == [0-9]* ]] || awk -v e="$error" 'BEGIN { exit !(e < 0.03) }'; }
}

for row in "${servers_table[@]}"; do
    read -r name screen args <<<"$row"
    # shellcheck disable=SC2086 # the row's Xvfb arguments
    start_server "$name" "$screen" ${args:--nolisten tcp}
    export DISPLAY=":${display[$name]}"
    [ "$name" = tcp ] && DISPLAY=127.0.0.1$DISPLAY
    show_test_picture
    grab_reference "$work/$name-reference.png"
    size=$(screen_size)
    "$tool" -x "$work/$name.png"
    "$tool" -x "$work/$name.jpg"
    # Channels of fewer than 8 bits scale up in more than one correct way; allow one level of 255.
    fuzz=0 && [[ $name == depth* ]] && fuzz=0.5%
    check "$name: PNG has exactly the pixels on screen" same_pixels "$work/$name.png" "$work/$name-reference.png" $fuzz
    check "$name: JPEG of the screen's size, decoding without a warning" jpeg_like "$name"
done

# The extension decides, whatever its case; one the tool does not know saves PNG, with one warning.
export DISPLAY=":${display[local]}"
size=$(screen_size)
for row in "tif TIFF" "bmp BMP3" "WebP WEBP" "JPEG JPEG" "gif PNG"; do
    read -r extension format <<<"$row"
    err=$("$tool" -x "$work/shot.$extension" 2>&1)
    expect "$extension is $format of the screen's size" "$format $size $([ "$extension" = gif ] && echo 1 || echo 0)" \
        "$(image_info "$work/shot.$extension") $(grep -c 'screencapture:' <<<"$err")"
    [ "$format" = JPEG ] || check "$extension is lossless" same_pixels "$work/shot.$extension" "$work/local-reference.png"
    [ "$format" != BMP3 ] || expect "the BMP's header says its size" "$(stat -c %s "$work/shot.bmp")" \
        "$(od -An -tu4 -j2 -N4 "$work/shot.bmp" | tr -d ' ')"
done
name="$work/Kestrelle on 01-02-2031 at 02.05.09 PM"
for _ in 1 2 3; do "$tool" -x "$name.png"; done
check "same name twice keeps both" same_pixels "$name.png" "$name 2.png"
expect "third gets 3" "PNG $size" "$(image_info "$name 3.png")"
check "no temporary files left" test -z "$(find "$work" -name '.*' -mindepth 1)"

# Monitors partly or wholly outside the root window: the capture is the root window's size, what the
# monitors show kept, the rest black; the whole root window when they show none of it.
# monitors_case WHAT SHOWN MONITOR...: SHOWN the rectangles kept ("x0,y0 x1,y1;...", corners inclusive);
# each MONITOR WxH+X+Y, the first given the screen's output.
read -r w h <<<"${size/x/ }"
monitors_case() {
    local what=$1 shown=$2 output=screen names=() i=0 monitor rest status=0 draws=(-fill white)
    shift 2
    for monitor in "$@"; do
        rest=${monitor#*x}
        xrandr --setmonitor "edge$i" "${monitor%%x*}/100x${rest%%+*}/100+${rest#*+}" "$output" >/dev/null
        names+=("edge$i") output=none i=$((i + 1))
    done
    timeout 30 "$tool" -x "$work/edge.png" || status=$?
    for monitor in "${names[@]}"; do xrandr --delmonitor "$monitor" >/dev/null; done
    IFS=';' read -ra rectangles <<<"$shown"
    for monitor in "${rectangles[@]}"; do draws+=(-draw "rectangle $monitor"); done
    convert -size "$size" xc:black "${draws[@]}" "$work/shown.png"
    convert "$work/local-reference.png" "$work/shown.png" -compose multiply -composite "$work/edge-expected.png"
    check "$what: status 0, the pixels shown, black elsewhere" \
        test "$status $(differing_pixels "$work/edge.png" "$work/edge-expected.png")" = "0 0"
    rm -f "$work/edge.png"
}
half="$((w / 2))x$h+0+0" top="${w}x$((h / 2))+0+0" left="0,0 $((w / 2 - 1)),$((h - 1))" all="0,0 $((w - 1)),$((h - 1))"
monitors_case "two monitors, the right one shorter: the corner below it black" \
    "$left;$((w / 2)),0 $((w - 1)),$((h / 2 - 1))" "$half" "$((w - w / 2))x$((h / 2))+$((w / 2))+0"
monitors_case "a monitor beyond the right edge beside one on screen" "$left" "$half" "$((w / 2))x$((h / 2))+$((w + 100))+0"
monitors_case "a monitor beyond the left edge" "$left" "$half" "$((w / 2))x$h+-$w+0"
monitors_case "a monitor beyond the bottom edge" "0,0 $((w - 1)),$((h / 2 - 1))" "$top" "${w}x$h+0+$h"
monitors_case "a monitor beyond the top edge" "0,0 $((w - 1)),$((h / 2 - 1))" "$top" "${w}x$((h / 2))+0+-$h"
monitors_case "a monitor across the bottom right corner" "$((w * 3 / 4)),$((h * 3 / 4)) $((w - 1)),$((h - 1))" \
    "$((w / 2))x$((h / 2))+$((w * 3 / 4))+$((h * 3 / 4))"
monitors_case "a monitor wider and taller than the screen" "$all" "$((w * 2))x$((h * 2))+-$((w / 2))+-$((h / 2))"
monitors_case "the only monitor right of the screen" "$all" "$((w / 2))x$((h / 2))+$((w * 2))+0"
monitors_case "a monitor of no size beside one on screen" "$left" "$half" "0x0+$((w - 10))+10"
finish
