#!/usr/bin/env bash
# A Wayland session (sway, tests/support/with-sway --outputs 2): both outputs in one image at the larger
# scale as grim sees them, in every output transform; -c through data-control; compositors that do not
# answer or offer no clipboard.   wayland.sh TOOL CLIPBOARD-OFFER
source "$(dirname "$0")/lib.sh"
offer=$2

# sway runs as another user where we are root: its background painter must read the pictures. Flat
# backgrounds, centred, never scaled, with one inner block each: scaling filters differ only on edges.
chmod 0755 "$work"
convert -size 800x600 xc:'#c03020' -fill '#2040c0' -draw 'rectangle 100,100 399,299' "$work/left.png"
convert -size 800x600 xc:'#20a040' -fill '#f0e010' -draw 'rectangle 400,300 699,499' "$work/right.png"
chmod 0644 "$work"/*.png

# steady_like_grim SIZE FILE: once grim sees the desktop at SIZE, our capture into FILE is grim's, taken
# just before it, but for the blocks' edges (our sharp enlargement, grim's smoothing): 0.5% of the image
# at most. Should grim see anything else just after (a background still drawn anew), both are taken again.
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

# HEADLESS-1 at scale 1 (800x600 logical), HEADLESS-2 at scale 2 beside it (400x300): 1200x600 at scale 2.
swaymsg "output HEADLESS-1 mode 800x600 scale 1 pos 0 0 bg $work/left.png center #c03020;
         output HEADLESS-2 mode 800x600 scale 2 pos 800 0 bg $work/right.png center #20a040" >/dev/null
backgrounds_shown() {
    grim "$work/reference.png" 2>/dev/null &&
        [[ $(convert "$work/reference.png" -format '%wx%h %[hex:p{2,2}] %[hex:p{2000,400}]' info:) == "2400x1200 C03020"*" F0E010"* ]]
}
check "the session shows the backgrounds" wait_for "the backgrounds" backgrounds_shown
check "PNG is what grim sees" steady_like_grim 2400x1200 "$work/shot.png"

# Each output turned one step beyond the other, so that every pair of turned and upright outputs shows;
# the pictures are lopsided both ways, so a mirror or a turn the wrong way moves their blocks.
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

# -c: one 4K output of noise, whose PNG (about 25 MB) no pipe or socket holds. Clipboard servers counted
# in this session only.
servers_running() { [ "$(tool_processes "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" | wc -l)" -eq "$1" ]; }
head -c $((3840 * 2160 * 3)) /dev/urandom |
    convert -size 3840x2160 -depth 8 rgb:- -define png:compression-level=1 "$work/noise.png"
chmod 0644 "$work/noise.png"
# sway 1.7 cannot disable a headless output (swaywm/sway#5522): HEADLESS-2 stays in the desktop, grim's too,
# so at scale 1, within the 4K one.
swaymsg "output HEADLESS-2 scale 1; output HEADLESS-2 disable; output HEADLESS-1 mode 3840x2160 transform normal bg $work/noise.png stretch" >/dev/null
noise_shown() {
    grim -g '0,0 32x32' "$work/corner.png" 2>/dev/null && [ "$(identify -format %k "$work/corner.png")" -gt 500 ]
}
check "the session shows the noise" wait_for "the noise" noise_shown
# Command substitution waits for every holder of its pipe: the server must not keep one.
out=$(timeout 20 "$tool" -c -x 2>&1) && status=0 || status=$?
types=$(timeout 10 wl-paste --list-types) || true
check "-c returns, status 0, silent, and the clipboard offers image/png" \
    test "$status" -eq 0 -a -z "$out" -a "$types" = image/png
timeout 20 wl-paste --type image/png >"$work/pasted.png" || true
check "the paste is the whole output's PNG, many megabytes, decoding to its end" test "$(image_info "$work/pasted.png")" = \
    "PNG 3840x2160" -a "$(stat -c %s "$work/pasted.png")" -gt 10000000 -a -z "$(convert "$work/pasted.png" null: 2>&1)"
# A reader that stops reading: wl-paste into a pipe that nobody reads until told to.
mkfifo "$work/go"
wl-paste --type image/png | { read -r _ <"$work/go"; cat >"$work/stalled.png"; } &
stalled=$!
sleep 0.5 # its request reaches the server, whose pipe to it fills
timeout 10 wl-paste --type image/png >"$work/beside.png" || true
check "a reader beside a stalled one gets the whole image" cmp -s "$work/pasted.png" "$work/beside.png"
"$tool" -c -x
timeout 20 wl-paste --type image/png >"$work/second.png" || true
expect "the second capture is pasted" "PNG 3840x2160" "$(image_info "$work/second.png")"
check "the first server stays while its paste is under way" servers_running 2
echo >"$work/go"
wait "$stalled"
check "the paste under way when the clipboard passed on gets the whole image" cmp -s "$work/pasted.png" "$work/stalled.png"
check "then the first server ends" wait_for "one server" servers_running 1
wl-copy --clear
check "the server exits when another client clears the clipboard" wait_for "no server" servers_running 0

# A compositor that stopped answering (its socket still takes connections): the capture gives up with a
# message instead of hanging. The IPC socket's name carries sway's pid.
compositor=$(basename "$SWAYSOCK" .sock)
compositor=${compositor##*.}
kill -STOP "$compositor"
started=$SECONDS
err=$(timeout 60 "$tool" -x "$work/stopped.png" 2>&1) && status=0 || status=$?
kill -CONT "$compositor"
check "a stopped compositor: status 1 within 15 s, saying so" test "$status" -eq 1 -a $((SECONDS - started)) -lt 15 \
    -a "$err" = "screencapture: the Wayland compositor did not answer within 10 seconds"

# weston: no data-control, and the X display to fall back on out of reach: the capture fails before it
# asks for anything, saying why for both. (tests/desktops takes the other ways.)
mkdir -m 0700 "$work/weston"
XDG_RUNTIME_DIR="$work/weston" weston --backend=headless-backend.so --socket=weston-test --idle-time=0 \
    >"$work/weston.log" 2>&1 &
weston=$!
servers+=("$weston")
wait_for "weston" test -S "$work/weston/weston-test"
in_weston=(env -u DISPLAY XDG_RUNTIME_DIR="$work/weston" WAYLAND_DISPLAY=weston-test)
err=$("${in_weston[@]}" DISPLAY=:4095 timeout 20 "$tool" -c -x 2>&1) && status=0 || status=$?
expect "no data-control, an unreachable X display: status 1, both reasons" \
    "1 screencapture: the compositor offers no clipboard protocol (wlr-data-control); cannot open the X display ':4095' for the clipboard" \
    "$status $err"
# weston stopped, taking the connection and never answering: the clipboard server, offered the image,
# gives up within seconds, and is ended rather than left to take the clipboard later.
kill -STOP "$weston"
started=$SECONDS
err=$("${in_weston[@]}" timeout 30 "$offer" 2>&1) && status=0 || status=$?
left=$(pgrep -xf "$offer" || true)
kill -CONT "$weston"
expect "a frozen compositor: status 1, says so" "1 screencapture: the clipboard server did not answer" "$status $err"
check "a frozen compositor: gives up within 15 s ($((SECONDS - started)) s), and the server is gone" \
    test $((SECONDS - started)) -lt 15 -a -z "$left"
finish
