# shellcheck shell=bash
# Shared by the scripts that run inside a session of tests/desktops/with-desktop:
#   source session.sh KESTRELLE [SCREENCAPTURE] [CLOSE_WINDOW]
# The end-to-end driver (tests/e2e/lib.sh) on the session's own bus, a record of bus calls, and
# Kestrelle's item as the desktop's tray reads it over D-Bus (once kestrelle_pid is set).
session_bus=$DBUS_SESSION_BUS_ADDRESS
# shellcheck source=../e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh" "$1" "${2:-}" "${3:-}"
export DBUS_SESSION_BUS_ADDRESS=$session_bus
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Processes of the script's own (a bus monitor, a tray), stopped before the session ends.
helpers=()
trap 'status=$?; [ ${#helpers[@]} -eq 0 ] || kill "${helpers[@]}" 2>/dev/null; end_session $status' EXIT

# stage_wrapped DIR BODY : Kestrelle beside a capture tool whose script is BODY; in it "$DIR/record"
# records the start as the end-to-end recorder does (in $starts), and "$DIR/real" is the real tool.
stage_wrapped() {
    stage_with_recorder "$1"
    mv "$1/screencapture" "$1/record"
    [ -z "$real_tool" ] || cp "$real_tool" "$1/real"
    printf '#!/bin/bash\n%s\n' "$2" >"$1/screencapture"
    chmod +x "$1/screencapture"
}

# monitor RULE... : the bus messages that match, from now on, in $work/calls.
monitor() {
    dbus-monitor --session "$@" >"$work/calls" 2>&1 &
    helpers+=($!)
    wait_for "the bus monitor" grep -q NameAcquired "$work/calls"
}
calls() { grep -c "member=$1" "$work/calls" || true; }

name_owned() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.GetNameOwner \
        "$1" >/dev/null 2>&1
}

watcher() {
    gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
        -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"
}

# registered_item : "SERVICE PATH" of the item that Kestrelle's process registered with the watcher.
# Watchers list an item as SERVICE/PATH, SERVICE@PATH (GNOME's AppIndicator extension) or SERVICE.
registered_item() {
    local entry service path
    for entry in $(watcher RegisteredStatusNotifierItems 2>/dev/null | grep -o "'[^']*'" | tr -d "'"); do
        if [[ $entry == *@* ]]; then
            service=${entry%%@*} path=${entry#*@}
        else
            service=${entry%%/*} path=/${entry#*/}
            [ "$service" != "$entry" ] || path=/StatusNotifierItem
        fi
        [ "$(gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
            -m org.freedesktop.DBus.GetConnectionUnixProcessID "$service" 2>/dev/null)" = "(uint32 $kestrelle_pid,)" ] &&
            echo "$service $path" && return 0
    done
    return 1
}

item_property() {
    gdbus call --session -d "$item_service" -o "$item_path" -m org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierItem "$1"
}

# find_item : waits for Kestrelle's item; sets item_service, item_path and menu_path.
find_item() {
    wait_for "Kestrelle's item to register with the desktop's tray" eval 'item=$(registered_item)'
    read -r item_service item_path <<<"$item"
    menu_path=$(item_property Menu | grep -o "'/[^']*'" | tr -d "'")
}

# menu_call METHOD SIGNATURE ARGS... : a call to the item's menu with exactly these types, as any program
# on the bus may send.
menu_call() {
    busctl --address="$DBUS_SESSION_BUS_ADDRESS" --timeout=10 call "$item_service" "$menu_path" \
        com.canonical.dbusmenu "$@" 2>&1
}

layout() { gdbus call --session -d "$item_service" -o "$menu_path" -m com.canonical.dbusmenu.GetLayout -- 0 -1 '[]'; }

# The labels of the entries, one a line, "-" for a separator, as the tray lays the menu out.
menu_labels() {
    layout | grep -o "<([0-9]*, {[^}]*}" | sed -E "s/.*'label': <'([^']*)'>.*/\1/; s/.*'type': <'separator'>.*/-/"
}

menu_id() { layout | grep -o "<([0-9]*, {[^}]*'label': <'$1'>" | grep -o '^<([0-9]*' | tr -d '<('; }

# click_entry TITLE : as a tray does on a click, spaced as a person's clicks are (Kestrelle counts clicks
# on one entry within the double-click interval once).
click_entry() { space_clicks; menu_call Event isvu "$(menu_id "$1")" clicked i 0 0 >/dev/null; }
