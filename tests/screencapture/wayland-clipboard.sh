#!/usr/bin/env bash
# -c in a Wayland session (sway, tests/support/with-sway): once the tool has returned, the image is
# served through data-control, whole however large, to a reader beside one that stopped reading,
# until the next capture replaces it, and then still to the pastes under way. The clipboard server
# on its own ($2, clipboard_offer.cpp) under a compositor without data-control (weston): the X
# clipboard where there is an X display, else a clear failure.
source "$(dirname "$0")/lib.sh"
offer=$2

# Live clipboard servers of this session (other tests run sessions of their own beside this one).
live_servers() { tool_processes "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" | wc -l; }
wait_for_servers() { for _ in $(seq 100); do [ "$(live_servers)" -eq "$1" ] && return 0; sleep 0.05; done; return 1; }

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
for _ in $(seq 100); do noise_shown && break; sleep 0.1; done
check "the session shows the noise" noise_shown

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
check "the first server stays while its paste is under way" test "$(live_servers)" -eq 2
echo >"$work/go"
wait "$stalled"
check "the paste under way when the clipboard passed on gets the whole image" \
    cmp -s "$work/pasted.png" "$work/stalled.png"
check "then the first server ends" wait_for_servers 1
wl-copy --clear
check "the server exits when another client clears the clipboard" wait_for_servers 0

# weston has no data-control; it runs as root, in a runtime directory of its own.
mkdir -m 0700 "$work/weston"
XDG_RUNTIME_DIR="$work/weston" weston --backend=headless-backend.so --socket=weston-test --idle-time=0 \
    >"$work/weston.log" 2>&1 &
servers+=($!) # stopped on exit by lib.sh
for _ in $(seq 100); do [ -S "$work/weston/weston-test" ] && break; sleep 0.05; done
in_weston=(XDG_RUNTIME_DIR="$work/weston" WAYLAND_DISPLAY=weston-test)
convert -size 64x48 xc:'#3070c0' "$work/small.png"

# The server fails before the image is offered: its own reason, not the broken pipe to it.
err=$(env -u DISPLAY "${in_weston[@]}" "$offer" "$work/small.png" 2>&1) && status=0 || status=$?
expect "no data-control, no X display: status 1, says so" \
    "1 screencapture: the compositor offers no clipboard protocol (wlr-data-control) and there is no X display" \
    "$status $err"
err=$(env "${in_weston[@]}" DISPLAY=:4095 "$offer" "$work/small.png" 2>&1) && status=0 || status=$?
expect "no data-control, an unreachable X display: status 1, both reasons" \
    "1 screencapture: the compositor offers no clipboard protocol (wlr-data-control); cannot open the X display ':4095' for the clipboard" \
    "$status $err"

start_server x 320x240x24
err=$(env "${in_weston[@]}" DISPLAY=":${display[x]}" "$offer" "$work/small.png" 2>&1) && status=0 || status=$?
check "no data-control, an X display: status 0, silent" test "$status" -eq 0 -a -z "$err"
DISPLAY=":${display[x]}" timeout 10 xclip -selection clipboard -t image/png -o >"$work/from-x.png" || true
check "no data-control, an X display: the X clipboard serves the image" cmp -s "$work/small.png" "$work/from-x.png"

# A compositor that takes the connection and never answers: the offer gives up within seconds and
# ends the server, which closes the connection (and so ends the listener).
timeout 30 python3 -c 'import socket, sys
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(1)
c, _ = s.accept()
while c.recv(4096): pass' "$work/weston/frozen" &
frozen=$!
for _ in $(seq 100); do [ -S "$work/weston/frozen" ] && break; sleep 0.05; done
started=$SECONDS
err=$(env -u DISPLAY XDG_RUNTIME_DIR="$work/weston" WAYLAND_DISPLAY=frozen timeout 30 "$offer" "$work/small.png" 2>&1) &&
    status=0 || status=$?
expect "a frozen compositor: status 1, says so" "1 screencapture: the clipboard server did not answer" "$status $err"
took=$((SECONDS - started))
wait "$frozen" && listener=0 || listener=$?
check "a frozen compositor: gives up within 15 s ($took), and the server is gone" test "$took" -lt 15 -a "$listener" -eq 0
finish
