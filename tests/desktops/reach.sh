#!/usr/bin/env bash
# Kestrelle reached the ways a desktop without a tray leaves, and left alone by a second start with one
# (tests/desktops/with-desktop):   reach.sh DESKTOP KESTRELLE CLOSE_WINDOW DESKTOP_ENTRY
# Kestrelle runs on X11 (through Xwayland) so that its windows can be found and clicked with xdotool.
desktop=$1 entry=$4
source "$(dirname "$0")/session.sh" "$2" "" "$3"
export QT_QPA_PLATFORM=xcb

# The tool also notes whether Kestrelle's window was on screen as it started.
app=$work/app
# Kestrelle's own windows: Mutter 48 draws the frames in a client whose windows carry the same title.
stage_wrapped "$app" "comm -12 <(xdotool search --onlyvisible --classname '^kestrelle\$' | sort) \\
    <(xdotool search --onlyvisible --name '^Kestrelle\$' | sort) | wc -l >>'$work/shown'; exec '$app/record' \"\$@\""

# run_kestrelle ARGS... : a start of the program that ends; sets ran_status and ran_output (stderr).
run_kestrelle() {
    ran_status=0
    ran_output=$(timeout 20 "$app/kestrelle" "$@" 2>&1 >/dev/null) || ran_status=$?
}
captured_to_clipboard() {
    wait_for_start "$starts" "$1"
    expect "$2 starts the tool with -c -x while Kestrelle's window is off the screen" \
        '"-c" "-x" 0' "$(recorded_arguments "$starts" "$1") $(sed -n "${1}p" "$work/shown")"
}

start_kestrelle "$app"
wait_for "Kestrelle to take its name on the session bus" name_owned io.github.kestrelle.Kestrelle

if [ "$desktop" = gnome-tray ]; then
    wait_for "the launch sequence" log_has "Error: No value set for screenshotFileTypeIndex"
    sleep 1.5
    expect "with a tray, a start opens no window" 0 "$(window_count Kestrelle)"
    run_kestrelle
    sleep 1.5
    expect "with a tray, a second start exits with status 0 and opens nothing" "0 0" "$ran_status $(window_count Kestrelle)"
    finish
    exit
fi

wait_for_window Kestrelle
expect "with no tray, a start opens the window titled Kestrelle and says once that there is no tray" 1 \
    "$(log_count "No system tray is running; the Kestrelle icon will appear when one starts")"
close_window Kestrelle
check "closing the window leaves Kestrelle running" test -d "/proc/$kestrelle_pid"
run_kestrelle
expect "a second start exits with status 0, saying in one line that Kestrelle runs" \
    "0 Kestrelle is already running (process $kestrelle_pid); this one exits" "$ran_status $(sed 's/^.*\] //' <<<"$ran_output")"
wait_for_window Kestrelle
expect "a second start opens the one window again" 1 "$(window_count Kestrelle)"

read -ra action <<<"$(sed -n '/^\[Desktop Action capture-to-clipboard\]/,/^\[/s/^Exec=kestrelle //p' "$entry")"
run_kestrelle "${action[@]}"
expect "the desktop entry's action, kestrelle ${action[*]}, exits with status 0" 0 "$ran_status"
captured_to_clipboard 1 "kestrelle ${action[*]}"
# Each asked for as soon as the previous one ended, while the window is on its way back: Mutter maps
# an X window that was hidden before it arrived all the same.
for n in $(seq 2 16); do
    sleep "0.0$((n % 5 * 2))"
    application ActivateAction capture-to-clipboard [] {} >/dev/null
    captured_to_clipboard "$n" "ActivateAction capture-to-clipboard, $((n % 5 * 20)) ms after the last start was seen,"
done
wait_for_window Kestrelle
click_in Kestrelle 40 "$(($(xwininfo -id "$(visible_window Kestrelle)" | awk '/Height:/ { print $2 }') / 5))"
check "a click on the window's second button starts a capture" wait_for "the click's capture" has_started "$starts" 17
! has_started "$starts" 17 || captured_to_clipboard 17 "the window's \"Capture Desktop to Clipboard\" button"

# Asked for what it does not have, in the wrong types or by name, Kestrelle refuses and goes on.
starts_before=$(recorded_starts "$starts")
refused() { ! "$@" >/dev/null 2>&1; }
check "ActivateAction with an unknown name gets an error" refused application ActivateAction nothing [] {}
check "ActivateAction with a parameter gets an error" refused application ActivateAction quit '[<1>]' {}
check "ActivateAction with its arguments in the wrong types gets an error" refused dbus-send --session --print-reply \
    --dest=io.github.kestrelle.Kestrelle /io/github/kestrelle/Kestrelle org.freedesktop.Application.ActivateAction string:quit
run_kestrelle --capture
expect "an unknown option: status 2, one line" "2 1" "$ran_status $(grep -c . <<<"$ran_output")"
sleep 1
check "none of these changed anything: Kestrelle runs and started no capture" \
    test -d "/proc/$kestrelle_pid" -a "$(recorded_starts "$starts")" = "$starts_before"

run_kestrelle --quit
wait_for_exit
expect "kestrelle --quit exits with status 0, and so does Kestrelle" "0 0" "$ran_status $exit_status"
run_kestrelle --quit
expect "kestrelle --quit with none running exits with status 0 and starts none" "0 none" \
    "$ran_status $(name_owned io.github.kestrelle.Kestrelle || echo none)"
finish
