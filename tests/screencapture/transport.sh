#!/usr/bin/env bash
# The same picture through every way the grab can reach the server: shared memory over the
# local socket, and GetImage where shared memory cannot work (a TCP connection, as to a remote
# display, and a server without MIT-SHM). The desktop's odd size leaves a short last stripe
# and a short last JPEG band.
source "$(dirname "$0")/lib.sh"

servers=()
trap 'for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null; done; rm -rf "$work"' EXIT

# start_server NAME XVFB-ARGS...: a private Xvfb; prints its display number.
start_server() {
    local name=$1 number
    shift
    mkfifo "$work/$name.fd"
    Xvfb -displayfd 3 -screen 0 1001x603x24 -noreset "$@" 3>"$work/$name.fd" >"$work/$name.log" 2>&1 &
    servers+=($!)
    read -r -t 10 number <"$work/$name.fd" || { cat "$work/$name.log" >&2; return 1; }
    echo "$number"
}

local_display=$(start_server local -nolisten tcp)
tcp_display=$(start_server tcp -listen tcp)
noshm_display=$(start_server noshm -nolisten tcp -extension MIT-SHM)

for way in "local :$local_display" "tcp 127.0.0.1:$tcp_display" "noshm :$noshm_display"; do
    read -r name DISPLAY <<<"$way"
    export DISPLAY
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
    show_test_picture
    grab_reference "$work/$name-reference.png"
    "$tool" -x "$work/$name.png"
    "$tool" -x "$work/$name.jpg"
    check "$name: PNG has exactly the pixels on screen" same_pixels "$work/$name.png" "$work/$name-reference.png"
    check "$name: JPEG of the screen's size" test "$(image_info "$work/$name.jpg")" = "JPEG 1001x603"
    check "$name: JPEG looks like the screen" jpeg_close "$work/$name.jpg" "$work/$name-reference.png"
    check "$name: JPEG decodes without a warning" decodes_cleanly "$work/$name.jpg"
done
finish
