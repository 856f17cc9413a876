#!/usr/bin/env bash
# Times full-desktop captures by screencapture and its peers (scrot, maim, ImageMagick's
# import) side by side on virtual displays with desktop-like content, and prints median wall
# time, peak memory and file size for PNG and JPEG (quality 90), and screencapture's time and
# file size as fractions of scrot's. Then the same scene in a headless sway session, PNG against
# grim (at its default compression level and at level 1), as fractions of grim's.
#   bench/capture.sh [RUNS]        (default 7 runs per cell, after one warm-up round)
#   PEERS="scrot" bench/capture.sh (only these peers; default "scrot maim import")
#   SIZES="3840x2160" bench/capture.sh (only these displays; default "1920x1080 3840x2160")
#   WAYLAND_SIZES="" bench/capture.sh (no Wayland rows; default "3840x2160")
# Last, a row per real desktop (tests/desktops/with-desktop, 1280x800): screencapture's PNG against
# the desktop's own screenshot call in the same session (grim on wlroots, GNOME Shell's Screenshot
# on GNOME, timed inside its caller).
#   DESKTOPS="gnome" bench/capture.sh (only these; default "wlroots gnome"; "" for none)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
tool=${SCREENCAPTURE:-$top/build/bin/screencapture}
runs=${1:-7}
peers=${PEERS:-scrot maim import}
sizes=${SIZES-1920x1080 3840x2160}
wayland_sizes=${WAYLAND_SIZES-3840x2160}
desktops=${DESKTOPS-wlroots gnome}
[ -x "$tool" ] || { echo "build first: $tool is missing" >&2; exit 1; }

need=()
for p in scrot maim imagemagick time fonts-dejavu-core sway swaybg grim; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# Times the cells (NAME.FORMAT, each run as cmd[CELL] writing $out/o.FORMAT) of one display. The
# cells take turns within each round, so that a slow spell of a busy machine falls on all of
# them alike.
time_cells() {
    local out=$1 cell format i start end
    shift
    for i in $(seq 0 "$runs"); do
        for cell in "$@"; do
            format=${cell#*.}
            rm -f "$out"/o.*
            start=$(date +%s%N)
            /usr/bin/time -f %M -o "$out/mem" ${cmd[$cell]} >/dev/null 2>&1
            end=$(date +%s%N)
            stat -c %s "$out/o.$format" >"$out/$cell.bytes"
            [ "$i" -eq 0 ] && continue # warm-up: page cache, fonts, shared libraries
            echo $(((end - start) / 1000000)) >>"$out/$cell.ms"
            cat "$out/mem" >>"$out/$cell.kib"
        done
    done
}

# Prints a row per cell; screencapture's rows also give its time and size over PEER's.
report() {
    local size=$1 out=$2 peer=$3 cell ms kib bytes ratio
    shift 3
    for cell in "$@"; do
        ms=$(median <"$out/$cell.ms")
        kib=$(sort -n "$out/$cell.kib" | tail -n 1)
        bytes=$(cat "$out/$cell.bytes")
        ratio=
        if [ "${cell%.*}" = screencapture ] && [ -f "$out/$peer.${cell#*.}.ms" ]; then
            ratio=$(awk -v t="$ms" -v st="$(median <"$out/$peer.${cell#*.}.ms")" -v b="$bytes" \
                -v sb="$(cat "$out/$peer.${cell#*.}.bytes")" 'BEGIN { printf "%.2f %.2f", t / st, b / sb }')
        fi
        awk -v s="$size" -v f="${cell#*.}" -v n="${cell%.*}" -v t="$ms" -v m="$kib" -v b="$bytes" -v r="$ratio" \
            'BEGIN { split(r, x, " "); printf "%-10s %-4s %-14s %8d %10.1f %10.2f", s, f, n, t, m / 1024, b / 1048576
                     print r == "" ? "" : sprintf(" %11s %10s", x[1], x[2]) }'
    done
}

# One display: paint the scene, then time every tool and format on it.
measure() {
    local size=$1 out
    out=$(mktemp -d)
    "$here/desktop.sh" "$out/scene.png" >/dev/null
    declare -A cmd=(
        [screencapture.png]="$tool -x $out/o.png" [screencapture.jpg]="$tool -x $out/o.jpg"
        [scrot.png]="scrot -o $out/o.png" [scrot.jpg]="scrot -o -q 90 $out/o.jpg"
        [maim.png]="maim $out/o.png" [maim.jpg]="maim -f jpg -m 9 $out/o.jpg"
        [import.png]="import -window root $out/o.png" [import.jpg]="import -window root -quality 90 $out/o.jpg"
    )
    local cells=() format name
    for format in png jpg; do
        for name in screencapture $peers; do cells+=("$name.$format"); done
    done
    time_cells "$out" "${cells[@]}"
    report "$size" "$out" scrot "${cells[@]}"
    rm -rf "$out"
}

# One sway output showing the scene in $2/scene.png: once it is drawn, screencapture and grim
# write PNG.
measure_wayland() {
    local size=$1 out=$2
    for _ in $(seq 100); do
        grim "$out/o.png" && [ "$(convert "$out/o.png" -format '%[hex:p{1,1}]' info:)" = 2E3440FF ] && break
        sleep 0.1
    done
    declare -A cmd=([screencapture.png]="$tool -x $out/o.png" [grim.png]="grim $out/o.png"
        [grim-l1.png]="grim -l 1 $out/o.png")
    time_cells "$out" screencapture.png grim.png grim-l1.png
    report "$size" "$out" grim screencapture.png grim.png grim-l1.png
}
# One real desktop session: screencapture against the desktop's own call. GNOME's is timed inside
# the program that calls it, so that a Python start does not count against the shell.
measure_desktop() {
    local desktop=$1 out peer
    out=$(mktemp -d)
    declare -A cmd=([screencapture.png]="$tool -x $out/o.png" [grim.png]="grim $out/o.png")
    case $desktop in
    wlroots) peer=grim ;;
    gnome) peer=shell ;;
    esac
    if [ "$peer" = shell ]; then
        time_cells "$out" screencapture.png
        "$top/tests/desktops/gnome-screenshot.py" "$out/o.png" "$runs" >"$out/shell.png.ms"
        stat -c %s "$out/o.png" >"$out/shell.png.bytes"
        echo 0 >"$out/shell.png.kib"
    else
        time_cells "$out" screencapture.png "$peer.png"
    fi
    report "$desktop" "$out" "$peer" screencapture.png "$peer.png"
    rm -rf "$out"
}
export -f measure measure_wayland measure_desktop time_cells report median
export here top tool runs peers

printf '%-10s %-4s %-14s %8s %10s %10s %11s %10s\n' display fmt tool "ms" "peak MiB" "file MiB" "time/scrot" "size/scrot"
for size in $sizes; do
    "$top/tests/support/with-display" --screen "${size}x24" -- bash -c "measure $size"
done
if [ -n "$wayland_sizes" ]; then
    echo "Wayland: headless sway (pixman renderer); time/grim and size/grim in the last columns"
fi
for size in $wayland_sizes; do
    out=$(mktemp -d)
    "$top/tests/support/with-display" --screen "${size}x24" -- "$here/desktop.sh" "$out/scene.png" >/dev/null
    # sway runs as another user where we are root.
    chmod 0755 "$out" && chmod 0644 "$out/scene.png"
    echo "output HEADLESS-1 mode $size bg $out/scene.png fill" >"$out/sway.conf"
    "$top/tests/support/with-sway" --config "$out/sway.conf" -- bash -c "measure_wayland $size $out"
    rm -rf "$out"
done
[ -n "$desktops" ] || exit 0
echo "Real desktops at 1280x800: time and size as fractions of the desktop's own call (grim; GNOME Shell's Screenshot)"
for desktop in $desktops; do
    # The session's command starts with a clean environment: the functions go in its text.
    "$top/tests/desktops/with-desktop" "$desktop" -- bash -c "$(declare -f measure_desktop time_cells report median)
        top=$top tool=$tool runs=$runs; measure_desktop $desktop"
done
