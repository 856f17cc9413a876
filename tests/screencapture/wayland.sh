#!/usr/bin/env bash
# A Wayland session (sway, tests/support/with-sway --outputs 2): both outputs in one image at the
# larger scale, as grim, an independent tool, sees them, in each of the eight output transforms; a
# compositor that stopped answering. (The encoders, -P and the sound take no way of their own here:
# pixels.sh and failures.sh check them on X11.)
source "$(dirname "$0")/lib.sh"

# sway runs as another user where we are root: its background painter must read the pictures.
chmod 0755 "$work"
# Flat backgrounds with one inner block each, so that scaling filters differ only on edges. They
# are centred, never scaled: a turned output crops its picture and pads it with the picture's
# colour, and its block's edges stay sharp.
convert -size 800x600 xc:'#c03020' -fill '#2040c0' -draw 'rectangle 100,100 399,299' "$work/left.png"
convert -size 800x600 xc:'#20a040' -fill '#f0e010' -draw 'rectangle 400,300 699,499' "$work/right.png"
chmod 0644 "$work"/*.png

# steady_like_grim SIZE FILE: once grim sees the desktop at SIZE, our capture into FILE is like
# grim's, taken just before it, but for the inner blocks' edges, where our sharp enlargement and
# grim's smoothing differ: at most 0.5% of the image. Should grim see anything else just after it (a
# background still drawn at its output's new size, on a loaded machine), both are taken again.
steady_like_grim() {
    local differing
    for _ in $(seq 50); do
        rm -f "$2"
        if grim "$work/reference.png" 2>/dev/null && [ "$(identify -format %wx%h "$work/reference.png")" = "$1" ] &&
            "$tool" -x "$2" && grim "$work/after.png" && same_pixels "$work/reference.png" "$work/after.png"; then
            differing=$(differing_pixels "$2" "$work/reference.png")
            [[ $differing =~ ^[0-9]+$ ]] && [ "$differing" -le $(($(identify -format '%w * %h' "$2") / 200)) ]
            return
        fi
        sleep 0.1
    done
    return 1
}

# HEADLESS-1 at scale 1 on the left (800x600 logical), HEADLESS-2 at scale 2 beside it (400x300):
# 1200x600 logical at scale 2; nothing under HEADLESS-2 is black.
swaymsg "output HEADLESS-1 mode 800x600 scale 1 pos 0 0 bg $work/left.png center #c03020;
         output HEADLESS-2 mode 800x600 scale 2 pos 800 0 bg $work/right.png center #20a040" >/dev/null
backgrounds_shown() {
    grim "$work/reference.png" 2>/dev/null &&
        [[ $(convert "$work/reference.png" -format '%wx%h %[hex:p{2,2}] %[hex:p{2000,400}]' info:) == "2400x1200 C03020"*" F0E010"* ]]
}
check "the session shows the backgrounds" wait_for "the backgrounds" backgrounds_shown
check "PNG is what grim sees" steady_like_grim 2400x1200 "$work/shot.png"

# Both outputs through the eight transforms, each turned one step beyond the other so that
# every pair of turned and upright outputs shows. The background pictures are lopsided both
# ways: a mirror or a turn the wrong way moves their blocks.
transforms=(normal 90 180 270 flipped flipped-90 flipped-180 flipped-270)
for i in "${!transforms[@]}"; do
    left=${transforms[i]} right=${transforms[(i + 1) % 8]}
    # HEADLESS-2 stays at 800,0, 400x300 logical or 300x400 turned; HEADLESS-1 is 600 or 800 high.
    right_width=400 left_height=600
    [[ $right == *90 || $right == *270 ]] && right_width=300
    [[ $left == *90 || $left == *270 ]] && left_height=800
    swaymsg "output HEADLESS-1 transform $left; output HEADLESS-2 transform $right" >/dev/null
    check "HEADLESS-1 $left, HEADLESS-2 $right: what grim sees" \
        steady_like_grim $(((800 + right_width) * 2))x$((left_height * 2)) "$work/$left.png"
done

# A compositor that stopped answering (stopped here; its socket still takes connections): the
# capture gives up with a message instead of hanging. The IPC socket's name carries sway's pid.
compositor=$(basename "$SWAYSOCK" .sock)
compositor=${compositor##*.}
kill -STOP "$compositor"
started=$SECONDS
err=$(timeout 60 "$tool" -x "$work/stopped.png" 2>&1) && status=0 || status=$?
kill -CONT "$compositor"
check "a stopped compositor: status 1 within 15 s, saying so" test "$status" -eq 1 -a $((SECONDS - started)) -lt 15 \
    -a "$err" = "screencapture: the Wayland compositor did not answer within 10 seconds"
finish
