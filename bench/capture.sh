#!/usr/bin/env bash
# Times full-desktop captures by screencapture and its peers (scrot, maim, ImageMagick's
# import) side by side on virtual displays with desktop-like content, and prints median wall
# time, peak memory and file size for PNG and JPEG (quality 90), and screencapture's time and
# file size as fractions of scrot's.
#   bench/capture.sh [RUNS]        (default 7 runs per cell, after one warm-up round)
#   PEERS="scrot" bench/capture.sh (only these peers; default "scrot maim import")
#   SIZES="3840x2160" bench/capture.sh (only these displays; default "1920x1080 3840x2160")
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
tool=${SCREENCAPTURE:-$top/build/bin/screencapture}
runs=${1:-7}
peers=${PEERS:-scrot maim import}
sizes=${SIZES:-1920x1080 3840x2160}
[ -x "$tool" ] || { echo "build first: $tool is missing" >&2; exit 1; }

need=()
for p in scrot maim imagemagick time fonts-dejavu-core; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# One display: paint the scene, then time every tool and format on it. The cells take turns
# within each round, so that a slow spell of a busy machine falls on all of them alike.
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
    local cells=() cell format name i start end
    for format in png jpg; do
        for name in screencapture $peers; do cells+=("$name.$format"); done
    done
    for i in $(seq 0 "$runs"); do
        for cell in "${cells[@]}"; do
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
    local ms kib bytes ratio
    for cell in "${cells[@]}"; do
        ms=$(median <"$out/$cell.ms")
        kib=$(sort -n "$out/$cell.kib" | tail -n 1)
        bytes=$(cat "$out/$cell.bytes")
        ratio=
        if [ "${cell%.*}" = screencapture ] && [ -f "$out/scrot.${cell#*.}.ms" ]; then
            ratio=$(awk -v t="$ms" -v st="$(median <"$out/scrot.${cell#*.}.ms")" -v b="$bytes" \
                -v sb="$(cat "$out/scrot.${cell#*.}.bytes")" 'BEGIN { printf "%.2f %.2f", t / st, b / sb }')
        fi
        awk -v s="$size" -v f="${cell#*.}" -v n="${cell%.*}" -v t="$ms" -v m="$kib" -v b="$bytes" -v r="$ratio" \
            'BEGIN { split(r, x, " "); printf "%-10s %-4s %-14s %8d %10.1f %10.2f", s, f, n, t, m / 1024, b / 1048576
                     print r == "" ? "" : sprintf(" %11s %10s", x[1], x[2]) }'
    done
    rm -rf "$out"
}
export -f measure median
export here tool runs peers

printf '%-10s %-4s %-14s %8s %10s %10s %11s %10s\n' display fmt tool "ms" "peak MiB" "file MiB" "time/scrot" "size/scrot"
for size in $sizes; do
    "$top/tests/support/with-display" --screen "${size}x24" -- bash -c "measure $size"
done
