#!/usr/bin/env bash
# Reaching Kestrelle in a real desktop session that tests/desktops/with-desktop provides, by the ways a
# desktop without a tray leaves: a second start, the command line's options, the desktop entry's
# actions, org.freedesktop.Application on the session bus, and the window of commands.
#   reach.sh DESKTOP KESTRELLE CLOSE_WINDOW DESKTOP_ENTRY
# Kestrelle runs on X11 (through Xwayland) so that its windows can be found and clicked with xdotool.
# The capture tool is the recording stand-in of the end-to-end tests, which also notes whether
# Kestrelle's window was on screen as it started.
desktop=$1
entry=$4
bus=$DBUS_SESSION_BUS_ADDRESS
# shellcheck source=../e2e/lib.sh
source "$(dirname "$0")/../e2e/lib.sh" "$2" "" "$3"
export DBUS_SESSION_BUS_ADDRESS=$bus QT_QPA_PLATFORM=xcb

declare -A has_tray=([wlroots]=yes [kde]=no [gnome]=no [gnome-tray]=yes [xfce]=yes)
[ -n "${has_tray[$desktop]:-}" ] || { echo "unknown desktop $desktop" >&2; exit 2; }
echo "# $desktop: $XDG_CURRENT_DESKTOP on $XDG_SESSION_TYPE, Qt on $QT_QPA_PLATFORM, tray: ${has_tray[$desktop]}"

app=$work/app
stage_with_recorder "$app"
mv "$app/screencapture" "$app/recorder"
shown_at_start=$work/shown-at-start
cat >"$app/screencapture" <<TOOL
#!/bin/bash
xdotool search --onlyvisible --name '^Kestrelle\$' | wc -l >>'$shown_at_start'
exec '$app/recorder' "\$@"
TOOL
chmod +x "$app/screencapture"

service=io.github.kestrelle.Kestrelle object=/io/github/kestrelle/Kestrelle
application_call() {
    gdbus call --session -d "$service" -o "$object" -m "org.freedesktop.Application.$1" "${@:2}"
}
owns_name() {
    [ "$(gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$service")" = "(true,)" ]
}

# run_kestrelle ARGS... : a start of the program that ends; sets ran_status and ran_output (stderr).
run_kestrelle() {
    ran_status=0
    ran_output=$(timeout 20 "$app/kestrelle" "$@" 2>&1 >/dev/null) || ran_status=$?
}

# entry_action_exec NAME : the desktop entry's Exec line for its action NAME, run with the staged program.
entry_action_exec() {
    sed -n "/^\[Desktop Action $1\]/,/^\[/s/^Exec=kestrelle //p" "$entry"
}

# captured_to_clipboard N HOW : the Nth start of the tool is a capture to the clipboard, without a sound,
# and Kestrelle's window was off the screen as it started.
captured_to_clipboard() {
    wait_for_start "$starts" "$1"
    expect "$2 starts the tool with -c -x" '"-c" "-x"' "$(recorded_arguments "$starts" "$1")"
    expect "$2: Kestrelle's window is off the screen while the tool runs" 0 "$(sed -n "${1}p" "$shown_at_start")"
}

start_kestrelle "$app"
wait_for "Kestrelle to take its name on the session bus" owns_name
first=$kestrelle_pid
already_running="Kestrelle is already running (process $first); this one exits"

if [ "${has_tray[$desktop]}" = yes ]; then
    wait_for "the launch sequence" log_has "Error: No value set for screenshotFileTypeIndex"
    sleep 1.5
    expect "with a tray, a start opens no window" 0 "$(window_count Kestrelle)"
    run_kestrelle
    expect "a second start exits with status 0" 0 "$ran_status"
    expect "a second start says in one line that Kestrelle runs" "$already_running" "$(sed 's/^.*\] //' <<<"$ran_output")"
    sleep 1.5
    expect "with a tray, a second start opens nothing" 0 "$(window_count Kestrelle)"
    run_kestrelle --quit
    expect "kestrelle --quit exits with status 0" 0 "$ran_status"
    wait_for_exit
    expect "--quit ends Kestrelle with status 0" 0 "$exit_status"
    finish
    exit
fi

wait_for_window Kestrelle
echo "ok - with no tray, a start opens the window titled Kestrelle"
close_window Kestrelle
check "closing the window leaves Kestrelle running" test -d "/proc/$first"
run_kestrelle
expect "a second start exits with status 0" 0 "$ran_status"
expect "a second start says in one line that Kestrelle runs" "$already_running" "$(sed 's/^.*\] //' <<<"$ran_output")"
wait_for_window Kestrelle
echo "ok - a second start opens the window again"
expect "one such window" 1 "$(window_count Kestrelle)"

run_kestrelle --capture-to-clipboard
expect "kestrelle --capture-to-clipboard exits with status 0" 0 "$ran_status"
captured_to_clipboard 1 "kestrelle --capture-to-clipboard"
wait_for_window Kestrelle
echo "ok - the window comes back after the capture"
application_call ActivateAction capture-to-clipboard [] {} >/dev/null
captured_to_clipboard 2 "ActivateAction capture-to-clipboard"
read -ra action <<<"$(entry_action_exec capture-to-clipboard)"
run_kestrelle "${action[@]}"
captured_to_clipboard 3 "the desktop entry's action capture-to-clipboard"
wait_for_window Kestrelle
click_in Kestrelle 40 "$(($(xwininfo -id "$(visible_window Kestrelle)" | awk '/Height:/ { print $2 }') / 5))"
if wait_for "a click on the window's second button" has_started "$starts" 4 2>/dev/null; then
    captured_to_clipboard 4 "the window's \"Capture Desktop to Clipboard\" button"
else
    echo "# the desktop passes on no synthetic click to Xwayland here; the button is left to the unit tests"
fi

# Asked for what it does not have, in the wrong types or by name, Kestrelle answers with an error and
# goes on.
starts_before=$(recorded_starts "$starts")
refused() { ! "$@" >/dev/null 2>&1; }
check "ActivateAction with an unknown name gets an error" refused application_call ActivateAction nothing [] {}
check "ActivateAction with a parameter gets an error" refused application_call ActivateAction quit '[<1>]' {}
check "ActivateAction with its arguments in the wrong types gets an error" refused \
    dbus-send --session --print-reply --dest="$service" "$object" org.freedesktop.Application.ActivateAction string:quit
run_kestrelle --capture
expect "an unknown option: status 2" 2 "$ran_status"
expect "an unknown option: one line" 1 "$(grep -c . <<<"$ran_output")"
sleep 1
check "none of these changed anything: Kestrelle runs and started no capture" \
    test -d "/proc/$first" -a "$(recorded_starts "$starts")" = "$starts_before"

run_kestrelle --quit
expect "kestrelle --quit exits with status 0" 0 "$ran_status"
wait_for_exit
expect "--quit ends Kestrelle with status 0" 0 "$exit_status"
run_kestrelle --quit
expect "kestrelle --quit with none running exits with status 0" 0 "$ran_status"
check "and starts none" refused owns_name
finish
