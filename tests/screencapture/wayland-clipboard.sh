#!/usr/bin/env bash
# -c in a Wayland session (sway, tests/support/with-sway): once the tool has returned, the image is
# served through data-control, whole however large, to a reader beside one that stopped reading,
# until the next capture replaces it, and then still to the pastes under way. Under a compositor
# without data-control (weston), and one that never answers (weston stopped), the failure says why.
source "$(dirname "$0")/lib.sh"
offer=$2

# Live clipboard servers of this session (other tests run sessions of their own beside this one).
servers_running() { [ "$(tool_processes "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" | wc -l)" -eq "$1" ]; }

# A 4K output showing noise: its PNG is about 25 MB, far more than any pipe or socket holds. sway runs
# as another user where we are root: its background painter must read the picture.
chmod 0755 "$work"
head -c $((3840 * 2160 * 3)) /dev/urandom |
    convert -size 3840x2160 -depth 8 rgb:- -define png:compression-level=1 "$work/noise.png"
chmod 0644 "$work/noise.png"
swaymsg "output HEADLESS-1 mode 3840x2160 bg $work/noise.png stretch" >/dev/null
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

# A reader that stops reading: wl-paste writing into a pipe that nobody reads until told to.
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

# weston has no data-control, and the X display to fall back on is out of reach: the capture fails
# before it asks the desktop for anything, saying why for both. (GNOME's and KDE's sessions in
# tests/desktops take the other ways: no X display, and an X display serving the image.)
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

# A compositor that takes the connection and never answers (weston, stopped): the clipboard server,
# offered the image, gives up within seconds, and is ended rather than left to take the clipboard later.
kill -STOP "$weston"
started=$SECONDS
err=$("${in_weston[@]}" timeout 30 "$offer" 2>&1) && status=0 || status=$?
left=$(pgrep -xf "$offer" || true)
kill -CONT "$weston"
expect "a frozen compositor: status 1, says so" "1 screencapture: the clipboard server did not answer" "$status $err"
check "a frozen compositor: gives up within 15 s ($((SECONDS - started)) s), and the server is gone" \
    test $((SECONDS - started)) -lt 15 -a -z "$left"
finish
