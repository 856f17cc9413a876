#!/usr/bin/env bash
# Kestrelle on a private session bus where other programs call it far faster than a person could
# (flood), or hold its name (name):   bus.sh KESTRELLE SCREENCAPTURE CLOSE-WINDOW BUS-PEER flood|name
source "$(dirname "$0")/../e2e/lib.sh"
bus_peer=$4 part=$5
name=io.github.kestrelle.Kestrelle

{ read -r DBUS_SESSION_BUS_ADDRESS && read -r bus_pid; } < <(dbus-daemon --fork --print-address=1 --print-pid=1 \
    --config-file="$(dirname "$0")/../portal/session.conf")
export DBUS_SESSION_BUS_ADDRESS
peers=()
trap 'status=$?; stop_pids "${peers[@]}" "$bus_pid"; end_session $status' EXIT
# start_peer ROLE ARGS... : a bus-peer, once it owns its name; what it says goes to $work/peer-ROLE.
start_peer() {
    "$bus_peer" "$@" >"$work/peer-$1" &
    peers+=($!)
    wait_for "bus-peer $1 to own its name" grep -qx ready "$work/peer-$1"
}
x_errors() { grep -ciE 'x ?error|xcb|X11 connection' "$log" || true; }

stage_with_recorder "$work/app"

# Another program holds the name, and answers not at all or with an error: Kestrelle runs anyway, its
# icon in the tray, and captures; a second start finds that one.
name_part() {
    local answer holder said
    for answer in quiet error; do
        start_peer hold "$name" "$answer"
        holder=${peers[-1]}
        : >"$log"
        start_kestrelle "$work/app"
        wait_for_icon
        expect "with the name held by a program that answers $answer, Kestrelle starts and says so in one line" \
            "1 0" "$(log_count "Another program holds the name $name on the session bus") $(log_count exits)"
        check "the line names the holder, its process and its command" \
            grep -qE ":1\.[0-9]+, process $holder: $bus_peer hold $name $answer\)" "$log"
        capture_with choose_menu_entry "Capture Desktop to Clipboard"
        expect "and it captures from its menu" '"-c" "-x"' "$arguments"
        said=$(timeout 20 "$work/app/kestrelle" 2>&1 >/dev/null) || true
        expect "a second start finds the first" "Kestrelle is already running (process $kestrelle_pid); this one exits" \
            "$(tail -n 1 <<<"$said" | sed 's/^[^]]*] //')"
        quit_kestrelle "Kestrelle quits with status 0"
        stop_pids "$holder"
    done
}

# Calls from a script, far faster than a person's: no more capture tools run at once than Kestrelle's
# bound, nor choosers are open, and one line says so per burst. Each tool, once recorded, waits while the
# test holds a lock, as a capture under way does, so that a burst meets the bound.
flood_part() {
    local most_tools=32 most_choosers=128 hold
    printf 'flock -s %q true\n' "$work/hold" >>"$work/app/screencapture"
    start_peer watcher
    start_peer portal
    start_kestrelle "$work/app"
    menu() { busctl --user --timeout=20 -- call "$name" /MenuBar com.canonical.dbusmenu "$@"; }
    menu_answers() { menu GetLayout iias 0 -1 0 >/dev/null 2>&1; }
    wait_for "Kestrelle's menu on the bus" menu_answers
    tools() { pgrep -cf "^/bin/bash $work/app/screencapture" || true; }
    under_way="captures are under way, as many as Kestrelle runs at once"
    exec {hold}>"$work/hold"
    flock "$hold"
    # Entry 2 captures to the clipboard, entry 8 opens the About window: no click repeats the one before.
    "$bus_peer" clicks 300 2 8
    wait_for_start "$starts" "$most_tools"
    sleep 1
    expect "300 clicks alternating between two entries start $most_tools tools, all running, and one line says so" \
        "$most_tools $most_tools 1" "$(recorded_starts "$starts") $(tools) $(log_count "$under_way")"
    flock -u "$hold"
    wait_for "the tools to end" eval '[ "$(tools)" -eq 0 ]'
    flock "$hold"
    "$bus_peer" actions 300 capture-to-clipboard
    wait_for_start "$starts" $((2 * most_tools))
    sleep 1
    expect "once they have ended, 300 calls of the action start $most_tools more, and a line says so again" \
        "$((2 * most_tools)) $most_tools 2" "$(recorded_starts "$starts") $(tools) $(log_count "$under_way")"
    "$bus_peer" actions 300 capture-desktop
    choosers() { grep -c chooser "$work/peer-portal" || true; }
    wait_for "$most_choosers choosers in the portal" eval '[ "$(choosers)" -ge $most_choosers ]'
    sleep 1
    expect "300 calls of Capture Desktop open $most_choosers of the portal's choosers, and one line says so" \
        "$most_choosers 1" "$(choosers) $(log_count "directory choosers are open, as many as Kestrelle opens at once")"

    flock -u "$hold"
    wait_for "the tools to end" eval '[ "$(tools)" -eq 0 ]'
    check "after it all Kestrelle answers its menu" menu_answers
    "$bus_peer" clicks 1 2
    wait_for_start "$starts" $((2 * most_tools + 1))
    check "the X server still takes clients" eval "xdpyinfo >/dev/null"
    expect "Kestrelle met no X error" 0 "$(x_errors)"
    # The icon is Kestrelle's own item on the bus here, with nothing to click: the menu's last entry quits.
    "$bus_peer" clicks 1 9
    wait_for_exit
    expect "Kestrelle quits with status 0 after the floods" 0 "$exit_status"
}

"${part}_part"
finish
