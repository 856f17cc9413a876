#!/usr/bin/env bash
# Kestrelle on a private session bus where another program holds its name (name):
#   bus.sh KESTRELLE SCREENCAPTURE CLOSE-WINDOW BUS-PEER name
source "$(dirname "$0")/../e2e/lib.sh"
bus_peer=$4 part=$5
name=io.github.kestrelle.Kestrelle

{ read -r DBUS_SESSION_BUS_ADDRESS && read -r bus_pid; } < <(dbus-daemon --fork --print-address=1 --print-pid=1 \
    --config-file="$(dirname "$0")/../portal/session.conf")
export DBUS_SESSION_BUS_ADDRESS
peers=()
trap 'status=$?; stop_pids "${peers[@]}" "$bus_pid"; end_session $status' EXIT
# start_peer ARGS... : a bus-peer, once it owns its name.
start_peer() {
    coproc peer { exec "$bus_peer" "$@"; }
    peers+=("$peer_PID")
    local said
    read -r -t 20 said <&"${peer[0]}" && [ "$said" = ready ]
}

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

"${part}_part"
finish
