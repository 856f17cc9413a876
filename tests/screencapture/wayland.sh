#!/usr/bin/env bash
# A Wayland session (sway, tests/support/with-sway --outputs 2): both outputs in one image at the
# larger scale, as grim, an independent tool, sees them, in each of the eight output transforms; a
# compositor that cannot be reached or stopped answering. (The encoders, -P and the sound take no
# way of their own here: screencapture.pixels and files.sh check them on X11.)
source "$(dirname "$0")/lib.sh"

# sway runs as another user where we are root: its background painter must read the pictures.
chmod 0755 "$work"
# Flat backgrounds with one inner block each, so that scaling filters differ only on edges. They
# are centred, never scaled: a turned output crops its picture and pads it with the picture's
# colour, and its block's edges stay sharp.
convert -size 800x600 xc:'#c03020' -fill '#2040c0' -draw 'rectangle 100,100 399,299' "$work/left.png"
convert -size 800x600 xc:'#20a040' -fill '#f0e010' -draw 'rectangle 400,300 699,499' "$work/right.png"
chmod 0644 "$work"/*.png

# The image's colour at x,y, as RRGGBB.
pixel() {
    convert "$1" -format "%[hex:p{$2}]" info: | cut -c1-6
}

# lay_out SIZE SWAY-COMMANDS X,Y RRGGBB: runs the commands, then waits until grim's capture (kept
# as the reference) has that size and, once the backgrounds are drawn, that colour at x,y.
lay_out() {
    local size=$1
    swaymsg "$2" >/dev/null
    for _ in $(seq 100); do
        grim "$work/reference.png" 2>/dev/null &&
            [ "$(identify -format %wx%h "$work/reference.png")" = "$size" ] &&
            [ "$(pixel "$work/reference.png" 2,2)" = C03020 ] && [ "$(pixel "$work/reference.png" "$3")" = "$4" ] &&
            return 0
        sleep 0.1
    done
    return 1
}

# The same picture as grim's last capture, but for pixels along the edges of the inner blocks, where our
# sharp enlargement and grim's smoothing differ by a pixel: at most 0.5% of the image.
like_grim() {
    local differing
    differing=$(differing_pixels "$1" "$work/reference.png")
    [[ $differing =~ ^[0-9]+$ ]] && [ "$differing" -le $(($(identify -format '%w * %h' "$1") / 200)) ]
}

# steady_like_grim SIZE FILE: once grim sees the desktop at SIZE, our capture into FILE is like
# grim's, taken just before it. Should grim see anything else just after it (a background still
# being drawn at its output's new size, on a loaded machine), both are taken again.
steady_like_grim() {
    for _ in $(seq 50); do
        rm -f "$2"
        if grim "$work/reference.png" 2>/dev/null && [ "$(identify -format %wx%h "$work/reference.png")" = "$1" ] &&
            "$tool" -x "$2" && grim "$work/after.png" && same_pixels "$work/reference.png" "$work/after.png"; then
            like_grim "$2"
            return
        fi
        sleep 0.1
    done
    return 1
}

# HEADLESS-1 at scale 1 on the left (800x600 logical), HEADLESS-2 at scale 2 beside it (400x300):
# 1200x600 logical at scale 2; nothing under HEADLESS-2 is black.
check "the session shows the backgrounds" lay_out 2400x1200 \
    "output HEADLESS-1 mode 800x600 scale 1 pos 0 0 bg $work/left.png center #c03020;
     output HEADLESS-2 mode 800x600 scale 2 pos 800 0 bg $work/right.png center #20a040" 2000,400 F0E010
check "PNG is what grim sees" steady_like_grim 2400x1200 "$work/shot.png"
expect "PNG spans both outputs at the larger scale" "PNG 2400x1200" "$(image_info "$work/shot.png")"
expect "scale 1 output enlarged into place: background, block, and its edges" \
    "C03020 2040C0 2040C0 C03020 C03020" \
    "$(for p in 100,100 200,200 799,599 800,600 1598,1198; do pixel "$work/shot.png" $p; done | xargs)"
expect "scale 2 output at its own pixels: background, block; black below it" \
    "20A040 F0E010 F0E010 000000 000000" \
    "$(for p in 1601,1 2000,300 2299,499 1600,600 2399,1199; do pixel "$work/shot.png" $p; done | xargs)"

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

err=$(WAYLAND_DISPLAY=nonexistent "$tool" -x "$work/none.png" 2>&1) && status=0 || status=$?
expect "unreachable compositor: status 1" 1 "$status"
check "unreachable compositor: one line naming it" \
    test "$(printf '%s\n' "$err" | wc -l)" -eq 1 -a "${err#screencapture: cannot connect to the Wayland compositor \'nonexistent\'}" != "$err"
check "unreachable compositor: no file" test ! -e "$work/none.png"

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
