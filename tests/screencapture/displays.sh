#!/usr/bin/env bash
# Desktops other than one 24-bit monitor: run once per display depth, and with two monitors
# that leave part of the root window uncovered.
source "$(dirname "$0")/lib.sh"

show_test_picture
grab_reference "$work/reference.png"
"$tool" -x "$work/shot.png"
# Channels of fewer than 8 bits scale up in more than one correct way; allow one level of 255.
check "$(xdpyinfo | awk '/depth of root/ { print $5 }')-bit desktop converts to what is on screen" \
    same_pixels "$work/shot.png" "$work/reference.png" 0.5%

# Two monitors side by side, the right one shorter: the corner below it shows on no monitor.
read -r width height < <(screen_size | tr x ' ')
# Xvfb's one output goes to the left monitor, which replaces the monitor that spans the root.
xrandr --setmonitor left $((width / 2))/100x"$height"/100+0+0 screen >/dev/null
xrandr --setmonitor right $((width / 2))/100x$((height / 2))/100+$((width / 2))+0 none
"$tool" -x "$work/monitors.png"
corner=$((width / 2))x$((height / 2))+$((width / 2))+$((height / 2))
covered=$((width / 2))x"$height"+0+0
convert "$work/monitors.png" -crop "$corner" +repage -format '%[fx:maxima]' info: >"$work/corner"
check "uncovered area is black" test "$(cat "$work/corner")" = 0
convert "$work/monitors.png" -crop "$covered" +repage "$work/covered.png"
convert "$work/reference.png" -crop "$covered" +repage "$work/covered-reference.png"
check "monitor areas keep their pixels" same_pixels "$work/covered.png" "$work/covered-reference.png" 0.5%
check "one image of the root window's size" test "$(image_info "$work/monitors.png")" = "PNG ${width}x$height"
xrandr --delmonitor left >/dev/null
xrandr --delmonitor right >/dev/null

# Monitors that lie partly or wholly outside the root window, as `xrandr --setmonitor` allows:
# the capture is the root window's size, what the monitors show of it kept, the rest black. When
# no monitor shows any of it, the monitors say nothing and the root window is captured whole.
# monitors_case WHAT SHOWN MONITOR...: SHOWN is "all" or the rectangles kept ("x0,y0 x1,y1;...",
# corners inclusive); each MONITOR is WxH+X+Y, the first one given the screen's output.
monitors_case() {
    local what=$1 shown=$2 output=screen names=() i=0 monitor rest status=0
    shift 2
    for monitor in "$@"; do
        rest=${monitor#*x}
        xrandr --setmonitor "edge$i" "${monitor%%x*}/100x${rest%%+*}/100+${rest#*+}" "$output" >/dev/null
        names+=("edge$i") output=none i=$((i + 1))
    done
    timeout 30 "$tool" -x "$work/edge.png" 2>"$work/edge.err" || status=$?
    for monitor in "${names[@]}"; do xrandr --delmonitor "$monitor" >/dev/null; done
    local draws=(-fill white)
    if [ "$shown" = all ]; then
        draws+=(-draw "color 0,0 reset")
    else
        IFS=';' read -ra rectangles <<<"$shown"
        for monitor in "${rectangles[@]}"; do draws+=(-draw "rectangle $monitor"); done
    fi
    convert -size "${width}x$height" xc:black "${draws[@]}" "$work/shown.png"
    convert "$work/reference.png" "$work/shown.png" -compose multiply -composite "$work/edge-expected.png"
    check "$what: status 0 (saw $status), the root window's size" \
        test "$status" -eq 0 -a "$(image_info "$work/edge.png")" = "PNG ${width}x$height"
    check "$what: the pixels shown, black elsewhere" same_pixels "$work/edge.png" "$work/edge-expected.png" 0.5%
    rm -f "$work/edge.png"
}
w=$width h=$height
half="$((w / 2))x$h+0+0" top="${w}x$((h / 2))+0+0"
monitors_case "a monitor beyond the right edge beside one on screen" "0,0 $((w / 2 - 1)),$((h - 1))" \
    "$half" "$((w / 2))x$((h / 2))+$((w + 100))+0"
monitors_case "a monitor beyond the left edge" "0,0 $((w / 2 - 1)),$((h - 1))" "$half" "$((w / 2))x$h+-$w+0"
monitors_case "a monitor beyond the bottom edge" "0,0 $((w - 1)),$((h / 2 - 1))" "$top" "${w}x$h+0+$h"
monitors_case "a monitor beyond the top edge" "0,0 $((w - 1)),$((h / 2 - 1))" "$top" "${w}x$((h / 2))+0+-$h"
monitors_case "a monitor across the bottom right corner" "$((w * 3 / 4)),$((h * 3 / 4)) $((w - 1)),$((h - 1))" \
    "$((w / 2))x$((h / 2))+$((w * 3 / 4))+$((h * 3 / 4))"
monitors_case "a monitor wider and taller than the screen" all "$((w * 2))x$((h * 2))+-$((w / 2))+-$((h / 2))"
monitors_case "the only monitor right of the screen" all "$((w / 2))x$((h / 2))+$((w * 2))+0"
monitors_case "a monitor of no size beside one on screen" "0,0 $((w / 2 - 1)),$((h - 1))" "$half" "0x0+$((w - 10))+10"
finish
