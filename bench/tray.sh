#!/usr/bin/env bash
# Kestrelle's tray program side by side with flameshot's, on one private Xvfb display with a trayer
# tray host and one session bus: time from start to icon docked, memory after 5 s idle, and time
# from the menu choice to the capture starting. Installs flameshot from Debian's packages when it
# is missing. Prints the median of RUNS runs; each run starts each program once, in turn.
#   bench/tray.sh [RUNS]     (default 5)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
kestrelle=${KESTRELLE:-$top/build/bin/kestrelle}
runs=${1:-5}

install_flameshot() {
    dpkg-query -W -f='${Status}' flameshot 2>/dev/null | grep -q 'install ok installed' && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing flameshot from Debian's packages"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends flameshot >/dev/null
}

if [ "${1:-}" != --on-display ]; then
    [ -x "$kestrelle" ] || { echo "build first: $kestrelle is missing" >&2; exit 1; }
    install_flameshot
    # Both programs meet the same session bus, as on a desktop.
    exec "$top/tests/support/with-display" --tray --timeout 600 -- \
        dbus-run-session -- "$0" --on-display "$runs" 2> >(grep -v 'Failed to set fd limit' >&2)
fi
runs=$2
source "$top/tests/support/drive-kestrelle.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/tray-bench.XXXXXX")
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME/flameshot" "$work/app"
# No welcome message, no update check, no help overlay: the same quiet start a returning user sees.
printf '[General]\nshowStartupLaunchMessage=false\ncheckForUpdates=false\nshowHelp=false\nshowSidePanelButton=false\n' \
    >"$XDG_CONFIG_HOME/flameshot/flameshot.ini"
cp "$kestrelle" "$work/app/kestrelle"
make_recording_tool "$work/app" "$work/starts"

now_us() { echo "${EPOCHREALTIME/[.,]/}"; }

# icon_of CLASS : the window of the program's icon, once a tray host has taken it in.
icon_of() {
    local w
    for w in $(xdotool search --onlyvisible --classname "^$1\$" 2>/dev/null); do
        is_embedded "$w" && echo "$w" && return 0
    done
    return 1
}

# fullscreen_window CLASS : flameshot's capture window, the size of the screen.
fullscreen_window() {
    local w
    for w in $(xdotool search --onlyvisible --classname "^$1\$" 2>/dev/null); do
        xwininfo -id "$w" 2>/dev/null | grep -q "Width: $screen_width" && return 0
    done
    return 1
}

poll_until() { # tighter than wait_for: the poll interval is part of what is measured
    local deadline=$((SECONDS + 30))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "bench: timed out waiting for: $*" >&2; return 1; }
        sleep 0.005
    done
}

memory_kib() { # RSS and PSS of the process, in KiB
    awk '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } END { print r, (p == "" ? "n/a" : p) }' "/proc/$1/smaps_rollup"
}

stop() {
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
    pid=
}

# measure_start NAME CLASS START_CMD... : starts the program (pid), waits for its icon (icon),
# then idles; appends "dock_ms rss_kib pss_kib" to $work/NAME.
measure_start() {
    local name=$1 class=$2 t0
    shift 2
    t0=$(now_us)
    "$@" >/dev/null 2>&1 &
    pid=$!
    poll_until icon_of "$class" >/dev/null
    icon=$(icon_of "$class")
    local docked_us=$(($(now_us) - t0))
    sleep 5
    echo "$((docked_us / 1000)) $(memory_kib "$pid")" >>"$work/$name"
}

# Kestrelle: the menu's clipboard entry, to the stand-in tool's own start time.
kestrelle_run() {
    local t1 before
    measure_start kestrelle kestrelle "$work/app/kestrelle"
    before=$(recorded_starts "$work/starts")
    space_clicks
    xdotool mousemove --window "$icon" 8 8 click 1
    poll_until menu_open
    xdotool key Down Down
    t1=$(now_us)
    xdotool key Return
    poll_until has_started "$work/starts" $((before + 1))
    local started
    started=$(sed -n "$((before + 1))p" "$work/starts" | cut -d' ' -f1)
    echo $(((${started/[.,]/} - t1) / 1000)) >>"$work/kestrelle.menu"
    stop
}

# flameshot: "Take Screenshot" from its menu, to its full-screen capture window shown.
flameshot_run() {
    local t1
    measure_start flameshot flameshot flameshot
    xdotool mousemove --window "$icon" 8 8 click 3
    poll_until flameshot_menu_open
    xdotool key Down
    t1=$(now_us)
    xdotool key Return
    poll_until fullscreen_window flameshot
    echo $((($(now_us) - t1) / 1000)) >>"$work/flameshot.menu"
    stop
}

flameshot_menu_open() {
    local w
    for w in $(xdotool search --onlyvisible --classname '^flameshot$' 2>/dev/null); do
        ! is_embedded "$w" && is_override_redirect "$w" && return 0
    done
    return 1
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)) }'; }
column_median() { awk -v c="$2" '{ print $c }' "$1" | median; }
mib() { awk -v k="$1" 'BEGIN { if (k == "n/a") print "n/a"; else printf "%.1f", k / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 > 0 && a != "n/a") printf "%.2f", a / b; else print "n/a" }'; }

screen_width=$(xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print s[1] }')
for run in $(seq "$runs"); do
    echo "run $run of $runs"
    kestrelle_run
    flameshot_run
done

kd=$(column_median "$work/kestrelle" 1) fd=$(column_median "$work/flameshot" 1)
kr=$(column_median "$work/kestrelle" 2) fr=$(column_median "$work/flameshot" 2)
kp=$(column_median "$work/kestrelle" 3) fp=$(column_median "$work/flameshot" 3)
km=$(median <"$work/kestrelle.menu") fm=$(median <"$work/flameshot.menu")
version=$(flameshot --version 2>/dev/null | awk 'NR == 1 { print $2 }')
echo
echo "Median of $runs runs on Xvfb $(xdpyinfo | awk '/dimensions:/ { print $2 }') with trayer, $(nproc) cores"
printf '| %-42s | %9s | %17s | %19s |\n' "" Kestrelle "flameshot $version" "Kestrelle/flameshot"
printf '| %-42s | %9s | %17s | %19s |\n' --- ---: ---: ---:
printf '| %-42s | %9s | %17s | %19s |\n' "start to icon docked (ms)" "$kd" "$fd" "$(ratio "$kd" "$fd")"
printf '| %-42s | %9s | %17s | %19s |\n' "RSS after 5 s idle (MiB)" "$(mib "$kr")" "$(mib "$fr")" "$(ratio "$kr" "$fr")"
printf '| %-42s | %9s | %17s | %19s |\n' "PSS after 5 s idle (MiB)" "$(mib "$kp")" "$(mib "$fp")" "$(ratio "$kp" "$fp")"
printf '| %-42s | %9s | %17s | %19s |\n' "menu choice to capture started (ms) [1]" "$km" "$fm" "n/a"
echo
echo "[1] Kestrelle: the Return that picks \"Capture Desktop to Clipboard\" to the capture tool's start."
echo "    flameshot: the Return that picks \"Take Screenshot\" to its full-screen capture window shown;"
echo "    it grabs the screen in-process and waits for its menu to fade first, so it is not comparable."
