#!/usr/bin/env bash
# Kestrelle on Wayland (QT_QPA_PLATFORM=wayland) in a headless sway session on a private session bus, as
# tests/support/with-sway and dbus-run-session provide: with no tray it says so once and keeps running;
# a tray (the stand-in StatusNotifierWatcher, $4) that starts later gets its item, and gets it again
# when it restarts; calls with the wrong argument types get an error and harm nothing; the item's menu
# over dbusmenu offers the entries, and a click on one runs the real capture tool in the Wayland session.
bus=$DBUS_SESSION_BUS_ADDRESS
source "$(dirname "$0")/lib.sh"
export DBUS_SESSION_BUS_ADDRESS=$bus QT_QPA_PLATFORM=wayland
watcher_tool=$4
# sway's runtime folder belongs to the user it runs as; Qt wants one of its own, and finds sway by path.
export WAYLAND_DISPLAY=$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY XDG_RUNTIME_DIR=$work/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"

watcher_pid=
trap 'status=$?; kill $watcher_pid 2>/dev/null; end_session $status' EXIT
registrations=$work/registrations
: >"$registrations"

# sni_call PATH METHOD ARGS... : a method of Kestrelle's item ($item) over the session bus.
sni_call() { gdbus call --session -d "$item" -o "$1" -m "$2" -- "${@:3}"; }
registered_count() { grep -c '^registered ' "$registrations" || true; }
registered() { [ "$(registered_count)" -ge "$1" ]; }

# start_watcher : the stand-in tray; waits until Kestrelle's item has registered with it once more.
start_watcher() {
    local before
    before=$(registered_count)
    "$watcher_tool" >>"$registrations" &
    watcher_pid=$!
    wait_for "Kestrelle's item to register with the tray" registered $((before + 1))
    item=$(sed -n 's/^registered //p' "$registrations" | tail -n 1)
}

# menu_labels : the labels of the menu's entries as the tray reads them, one a line.
menu_labels() {
    sni_call /MenuBar com.canonical.dbusmenu.GetLayout 0 -1 '[]' | grep -o "'label': <'[^']*'>" |
        sed "s/^'label': <'//; s/'>\$//"
}

# menu_id TITLE : the dbusmenu id of the entry with this label.
menu_id() {
    sni_call /MenuBar com.canonical.dbusmenu.GetLayout 0 -1 '[]' |
        grep -o "<([0-9]*, {[^}]*'label': <'$1'>" | grep -o '^<([0-9]*' | tr -d '<('
}

# click_entry TITLE [Event|EventGroup] : the tray's click on the entry, sent alone (as Plasma's tray
# does) unless told, or in a group of events (as libdbusmenu's trays do).
click_entry() {
    local id
    id=$(menu_id "$1")
    if [ "${2:-Event}" = EventGroup ]; then
        expect "the item knows the entry \"$1\"" "(@ai [],)" \
            "$(sni_call /MenuBar com.canonical.dbusmenu.EventGroup "[($id, 'clicked', <0>, 0)]")"
    else
        sni_call /MenuBar com.canonical.dbusmenu.Event "$id" clicked '<0>' 0 >/dev/null
    fi
}

# error_answer METHOD SIGNATURE ARGS... : the menu answers a call of these types with an error of its
# own, not with silence or a lost connection. busctl sends any types it is told; gdbus would send only
# those the item's introspection names.
error_answer() {
    local answer
    answer=$(busctl --address="$DBUS_SESSION_BUS_ADDRESS" --timeout=10 call "$item" /MenuBar \
        com.canonical.dbusmenu "$@" 2>&1) && return 1
    grep -qiE 'no such method|invalid arg' <<<"$answer" || {
        echo "  answer: $answer" >&2
        return 1
    }
}

pasted_png() {
    timeout 10 wl-paste -t image/png >"$work/pasted.png" 2>/dev/null && identify "$work/pasted.png" >/dev/null 2>&1
}

swaymsg 'output * bg #3366cc solid_color' >/dev/null
screen=$(swaymsg -p -t get_outputs | sed -n 's/^ *Current mode: \([0-9]*x[0-9]*\) .*/\1/p' | head -n 1)

no_tray_line="No system tray is running; the Kestrelle icon will appear when one starts"
stage_with_tool "$work/app"
start_kestrelle "$work/app"
wait_for "Kestrelle to say that there is no tray" log_has "$no_tray_line"
check "with no tray Kestrelle keeps running" test -d "/proc/$kestrelle_pid"

start_watcher
echo "ok - a tray that starts later gets Kestrelle's item"

# Any program on the bus may send these: with the arguments read as the types the interface names, one
# crashed Kestrelle, the other aborted it in libdbus.
check "a click event with a number for its name gets an error" error_answer EventGroup 'a(iivu)' 1 1 7 i 0 0
check "entry ids as pairs get an error" error_answer GetGroupProperties 'a(ii)as' 1 1 2 1 label
check "after them Kestrelle still runs" test -d "/proc/$kestrelle_pid"
expect "the menu offers the program's entries" "$(printf '%s\n' "${kestrelle_menu_entries[@]}")" \
    "$(menu_labels)"

click_entry "Capture Desktop to Clipboard" EventGroup
wait_for "a PNG image on the clipboard" pasted_png
expect "the clipboard holds a PNG of the whole output showing the desktop" "PNG $screen 3366CC" \
    "$(image_facts "$work/pasted.png")"

kill "$watcher_pid"
wait "$watcher_pid" 2>/dev/null || true
start_watcher
echo "ok - the item registers again when the tray restarts"

# The tray shows the menu; a menu of Kestrelle's own would open as a window of its own, within moments:
# two seconds without one count as none. The window of commands that the start without a tray opened
# is there already.
kestrelle_windows_in_sway() { swaymsg -t get_tree -r | grep -c '"app_id": "io.github.kestrelle.Kestrelle"' || true; }
window_added() { [ "$(kestrelle_windows_in_sway)" -gt "$1" ]; }
no_window_after_click() {
    local before
    before=$(kestrelle_windows_in_sway)
    sni_call /StatusNotifierItem org.kde.StatusNotifierItem.Activate 10 10 >/dev/null
    ! KESTRELLE_WAIT=2 wait_for "a window" window_added "$before" 2>/dev/null
}
check "a click on the item opens no window" no_window_after_click

click_entry "Quit Kestrelle"
wait_for_exit
expect "\"Quit Kestrelle\" ends Kestrelle with status 0" 0 "$exit_status"
expect "the missing tray is all it logs besides the first start and the missing portal" \
    "$no_tray_line" "$(grep -v -e 'Setting now' -e 'Shortcuts: global shortcuts are not available' "$log" |
        sed 's/^.*kestrelle\[[0-9]*\] //')"
finish
