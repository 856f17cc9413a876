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
finish
