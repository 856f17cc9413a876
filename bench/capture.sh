#!/usr/bin/env bash
# Times full-desktop captures by screencapture and its peers (scrot, maim, ImageMagick's
# import) side by side on virtual displays with desktop-like content, and prints median wall
# time, peak memory and file size for PNG and JPEG (quality 90).
#   bench/capture.sh [RUNS]        (default 7 runs per cell, after one warm-up run)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
tool=${SCREENCAPTURE:-$top/build/bin/screencapture}
runs=${1:-7}
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
    local format name times mems median mem bytes
    for format in png jpg; do
        for name in screencapture scrot maim import; do
            times=() mems=()
            for i in $(seq 0 "$runs"); do
                rm -f "$out"/o.*
                local start end
                start=$(date +%s%N)
                /usr/bin/time -f %M -o "$out/mem" ${cmd[$name.$format]} >/dev/null 2>&1
                end=$(date +%s%N)
                [ "$i" -eq 0 ] && continue # warm-up: page cache, fonts, shared libraries
                times+=($(((end - start) / 1000000)))
                mems+=("$(cat "$out/mem")")
            done
            median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
            mem=$(printf '%s\n' "${mems[@]}" | sort -n | tail -n 1)
            bytes=$(stat -c %s "$out/o.$format")
            awk -v s="$size" -v f="$format" -v n="$name" -v t="$median" -v m="$mem" -v b="$bytes" \
                'BEGIN { printf "%-10s %-4s %-14s %8d %10.1f %10.2f\n", s, f, n, t, m / 1024, b / 1048576 }'
        done
    done
    rm -rf "$out"
}
export -f measure
export here tool runs

printf '%-10s %-4s %-14s %8s %10s %10s\n' display fmt tool "ms" "peak MiB" "file MiB"
for size in 1920x1080 3840x2160; do
    "$top/tests/support/with-display" --screen "${size}x24" -- bash -c "measure $size"
done
