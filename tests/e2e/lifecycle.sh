#!/usr/bin/env bash
# Starting with no tray host, one instance per session, and the signals that end a session. Runs on
# a display without a tray host and starts trayer itself.
source "$(dirname "$0")/lib.sh"

no_tray_line="No system tray is running; the Kestrelle icon will appear when one starts"
stage_with_recorder "$work/app"
start_kestrelle "$work/app"
wait_for "Kestrelle to say that there is no tray" log_has "$no_tray_line"
check "with no tray host Kestrelle keeps running" test -d "/proc/$kestrelle_pid"
start_tray_host "$work"
wait_for_icon
echo "ok - the icon docks when a tray host starts later"
expect "the missing tray is logged once" 1 "$(log_count 'system tray')"
choose_menu_entry "Capture Desktop to Clipboard"
wait_for_start "$starts" 1
echo "ok - the late icon's menu works"

# A second start in the same session: one line, status 0, nothing changed.
first=$kestrelle_pid
stored=$(cat "$settings")
status=0
second_log=$(timeout 20 "$work/app/kestrelle" 2>&1 >/dev/null) || status=$?
expect "a second instance exits at once with status 0" 0 "$status"
expect "a second instance logs one line" 1 "$(printf '%s\n' "$second_log" | grep -c .)"
check "that line names the running instance" \
    grep -q "Kestrelle is already running (process $first); this one exits" <<<"$second_log"
check "the first instance still runs" test -d "/proc/$first"
expect "the settings file is unchanged" "$stored" "$(cat "$settings")"
expect "one icon in the tray" 1 "$(for w in $(kestrelle_windows); do is_embedded "$w" && echo "$w"; done | wc -l)"

# ends_cleanly SIGNAL : the signal ends Kestrelle with status 0, its icon gone and nothing logged;
# a new start works at once.
ends_cleanly() {
    local lines
    lines=$(wc -l <"$log")
    kill "-$1" "$kestrelle_pid"
    wait_for_exit
    expect "SIG$1 ends Kestrelle with status 0" 0 "$exit_status"
    wait_for "the icon to leave the tray after SIG$1" icon_gone
    expect "SIG$1 logs nothing" "$lines" "$(wc -l <"$log")"
    start_kestrelle "$work/app"
    wait_for_icon
    echo "ok - after SIG$1 Kestrelle starts again"
}
ends_cleanly TERM
ends_cleanly HUP
ends_cleanly INT
finish
