# Shared by the screencapture tests and the portal tests: sourced with the tool's path as $1.
set -euo pipefail

tool=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/screencapture-test.XXXXXX")
source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../support/lib.sh"

# Private X servers, stand-in servers and mounts: gone on exit.
servers=()
declare -A display
trap 'stop_pids "${servers[@]}"; unmount_all; rm -rf "$work"' EXIT

# start_server NAME WxHxD XVFB-ARGS...: sets display[NAME] once the server answers.
start_server() {
    local name=$1 screen=$2 number
    shift 2
    mkfifo "$work/$name.fd"
    Xvfb -displayfd 3 -screen 0 "$screen" -noreset "$@" 3>"$work/$name.fd" >"$work/$name.log" 2>&1 &
    servers+=($!)
    read -r -t 10 number <"$work/$name.fd" || { cat "$work/$name.log" >&2; return 1; }
    for _ in $(seq 100); do DISPLAY=":$number" xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
    display[$name]=$number
}

# preload: sets preloaded to an env command that preloads preload.c (built once) into what it runs. (A
# sanitizer build wants its runtime first; the calls reach it all the same.)
preload() {
    [ -e "$work/preload.so" ] ||
        cc -shared -fPIC -O1 -o "$work/preload.so" "$(dirname "${BASH_SOURCE[0]}")/preload.c" -ldl
    preloaded=(env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" LD_PRELOAD="$work/preload.so")
}

# tool_processes [NAME=VALUE]: the tool's live processes whose environment has NAME=VALUE (this test's X
# display unless told; other tests run beside this one).
tool_processes() {
    local pid mark=${1:-DISPLAY=$DISPLAY}
    for pid in $(pgrep -x screencapture || true); do
        ! process_gone "$pid" && tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "$mark" && echo "$pid"
    done
    return 0
}

# The root background: noise, flat colour bands and a grey ramp above; below, ruled lines on a flat colour
# as text and controls look (the PNG encoder compresses the two kinds of stripe differently).
show_test_picture() {
    local size width height lines=()
    size=$(screen_size)
    width=${size%x*} height=${size#*x}
    for ((y = height * 2 / 3 + 3; y < height; y += 7)); do
        lines+=(-draw "line $((width / 10)),$y $((width * 9 / 10)),$y")
    done
    convert -seed 7 -size "$size" plasma:fractal \
        -fill '#ff0000' -draw 'rectangle 0,0 40,40' -fill '#00ff00' -draw 'rectangle 41,0 80,40' \
        -fill '#0000ff' -draw 'rectangle 81,0 120,40' -fill white -draw 'rectangle 121,0 160,40' \
        \( -size 256x20 gradient:black-white \) -geometry +0+50 -composite \
        -fill '#eceff4' -draw "rectangle 0,$((height * 2 / 3)) $width,$height" \
        -stroke '#2e3440' "${lines[@]}" "$work/picture.png"
    # display exits 1 even when the background is set; the reference grab shows what is there.
    display -window root "$work/picture.png" || true
}

grab_reference() { xwd -root -silent | convert xwd:- "$1"; }

# differing_pixels FILE FILE [FUZZ]: how many, with colour channels allowed to differ by FUZZ.
differing_pixels() { compare -metric AE -fuzz "${3:-0}" "$1" "$2" null: 2>&1 || true; }
same_pixels() { [ "$(differing_pixels "$1" "$2" "${3:-0}")" = 0 ]; }

# The decoder reads the file without a warning (a bad restart marker, say, is only a warning).
decodes_cleanly() { [ -z "$(convert "$1" null: 2>&1)" ]; }
image_info() { identify -format '%m %wx%h' "$1" 2>/dev/null; }
