#!/usr/bin/env bash
# One instance per session, and the signals that end a session. A tray host that starts after
# Kestrelle is tests/desktops/tray.sh's, with xfce's panel.
source "$(dirname "$0")/lib.sh"

stage_with_recorder "$work/app"
start_kestrelle "$work/app"
wait_for_icon
wait_for "the first start's repair" setting_is screenshotFileTypeIndex 0

first=$kestrelle_pid
stored=$(cat "$settings")
status=0
second_log=$(timeout 20 "$work/app/kestrelle" 2>&1 >/dev/null) || status=$?
expect "a second instance exits at once with status 0, saying in one line which one runs" \
    "0 Kestrelle is already running (process $first); this one exits" "$status $(sed 's/^.*\] //' <<<"$second_log")"
check "the first instance still runs" test -d "/proc/$first"
expect "the settings file is unchanged" "$stored" "$(cat "$settings")"

# Each signal ends Kestrelle with status 0, its icon gone and nothing logged; a new
# start works at once.
for signal in TERM HUP INT; do
    lines=$(wc -l <"$log")
    kill "-$signal" "$kestrelle_pid"
    wait_for_exit
    expect "SIG$signal ends Kestrelle with status 0" 0 "$exit_status"
    wait_for "the icon to leave the tray after SIG$signal" icon_gone
    expect "SIG$signal logs nothing" "$lines" "$(wc -l <"$log")"
    start_kestrelle "$work/app"
    wait_for_icon
    echo "ok - after SIG$signal Kestrelle starts again"
done
finish
