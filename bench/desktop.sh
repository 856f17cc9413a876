#!/usr/bin/env bash
# Paints a desktop-like scene on the current X display as the root background: a flat
# wallpaper and panel, text windows, a photo-like picture and UI controls.
set -euo pipefail
read -r w h < <(xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print s[1], s[2] }')
out=${1:-$(mktemp --suffix=.png)}
text=/usr/share/common-licenses/GPL-3
font=DejaVu-Sans-Mono
scene=(-size "${w}x$h" xc:'#3b4252'
    -fill '#2e3440' -draw "rectangle 0,0 $w,$((h / 40))")
# Text windows: a title bar and a page of monospaced text each.
pt=$((h / 90))
for i in 0 1 2; do
    x=$((w / 30 + i * w / 5)) y=$((h / 12 + i * h / 9)) ww=$((w * 2 / 5)) wh=$((h / 2))
    lines=$(((wh - h / 36) / (pt * 5 / 4) - 1))
    scene+=(-fill '#d8dee9' -draw "rectangle $x,$y $((x + ww)),$((y + h / 36))"
        -fill white -draw "rectangle $x,$((y + h / 36)) $((x + ww)),$((y + wh))"
        -fill black -font "$font" -pointsize "$pt"
        -annotate +$((x + 10))+$((y + h / 36 + pt + 6)) "$(sed -n "$((1 + i * 60)),$((i * 60 + lines))p" "$text" | tr -d '%\\')")
done
# A photo: smooth fractal colour with fine grain, as a camera image has.
pw=$((w * 2 / 5)) ph=$((h * 2 / 5))
scene+=(\( -seed 3 -size "${pw}x$ph" plasma:fractal -blur 0x3 -attenuate 0.3 +noise Gaussian \)
    -geometry +$((w * 11 / 20))+$((h / 2)) -composite)
# Buttons and a sidebar: flat UI areas with edges.
scene+=(-fill '#eceff4' -draw "rectangle $((w * 11 / 20)),$((h / 12)) $((w * 19 / 20)),$((h * 9 / 20))")
for i in $(seq 0 7); do
    scene+=(-fill '#5e81ac' -draw "roundrectangle $((w * 23 / 40)),$((h / 10 + i * h / 30)) $((w * 27 / 40)),$((h / 10 + i * h / 30 + h / 45)) 6,6")
done
convert "${scene[@]}" "$out"
display -window root "$out" || true # exits 1 even when the background is set
