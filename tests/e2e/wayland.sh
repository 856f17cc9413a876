#!/usr/bin/env bash
# Kestrelle on Wayland (QT_QPA_PLATFORM=wayland) in a headless sway session on a private session bus, as
# tests/support/with-sway and dbus-run-session provide: with no tray it says so once and keeps running;
# a tray (the stand-in StatusNotifierWatcher, $4) that starts later gets its item, as does one that runs
# before it starts; the item's menu over dbusmenu holds the entries; a click on them runs the real capture
# tool in the Wayland session, and the screenshot lands on the clipboard and in the chosen folder, whose
# "Save" gets a click through wlroots' virtual pointer ($5).
bus=$DBUS_SESSION_BUS_ADDRESS
source "$(dirname "$0")/lib.sh"
export DBUS_SESSION_BUS_ADDRESS=$bus QT_QPA_PLATFORM=wayland
watcher_tool=$4
click_tool=$5
# sway's runtime folder belongs to the user it runs as; Qt wants one of its own, and finds sway by path.
export WAYLAND_DISPLAY=$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY XDG_RUNTIME_DIR=$work/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"

watcher_pid=
trap 'status=$?; kill $watcher_pid 2>/dev/null; end_session $status' EXIT
registrations=$work/registrations
: >"$registrations"

# sni_call PATH METHOD ARGS... : a method of Kestrelle's item ($item) over the session bus.
sni_call() { gdbus call --session -d "$item" -o "$1" -m "$2" -- "${@:3}"; }
item_property() { sni_call /StatusNotifierItem org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"; }
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

# kestrelle_windows_in_sway : how many windows of Kestrelle's the compositor shows.
kestrelle_windows_in_sway() {
    swaymsg -t get_tree -r | jq '[.. | objects | select(.app_id? == "io.github.kestrelle.Kestrelle")] | length'
}

# chooser_rect : "X Y WIDTH HEIGHT" of the chooser's window in the layout; fails while none is open.
chooser_rect() {
    swaymsg -t get_tree -r | jq -er --arg title "$kestrelle_chooser_title" \
        'first(.. | objects | select(.name? == $title and .app_id? != null)) | .rect | "\(.x) \(.y) \(.width) \(.height)"'
}
chooser_open() { chooser_rect >/dev/null; }

# Clicks "Save", at the same place from the window's lower right corner whatever its size, and again
# each second, as a person clicks again, until the chooser is gone.
closed_after_save_click() {
    local x y width height
    chooser_open || return 0
    if [ "$SECONDS" -ge "$next_click" ] && read -r x y width height < <(chooser_rect); then
        "$click_tool" $((x + width - 54)) $((y + height - 56))
        next_click=$((SECONDS + 1))
    fi
    return 1
}

# confirm_chooser : "Save" in the chooser, which opens in the folder Kestrelle was started in.
confirm_chooser() {
    wait_for "the chooser to open" chooser_open
    next_click=0
    wait_for "the chooser to close after a click on \"Save\"" closed_after_save_click
}

pasted_png() {
    timeout 10 wl-paste -t image/png >"$work/pasted.png" 2>/dev/null && identify "$work/pasted.png" >/dev/null 2>&1
}

swaymsg 'output * bg #3366cc solid_color' >/dev/null
screen=$(swaymsg -t get_outputs -r | jq -r '.[0] | "\(.current_mode.width)x\(.current_mode.height)"')

no_tray_line="No system tray is running; the Kestrelle icon will appear when one starts"
shots="$work/my shots"
stage_with_tool "$work/app"
mkdir "$shots"
# The chooser opens in the folder Kestrelle was started in.
cd "$shots"
start_kestrelle "$work/app"
wait_for "Kestrelle to say that there is no tray" log_has "$no_tray_line"
check "with no tray Kestrelle keeps running" test -d "/proc/$kestrelle_pid"
expect "the missing tray is all it logs besides the first start and the missing portal" \
    "$no_tray_line" "$(grep -v -e 'Setting now' -e 'Shortcuts: global shortcuts are not available' "$log" |
        sed 's/^.*kestrelle\[[0-9]*\] //')"

start_watcher
echo "ok - a tray that starts later gets Kestrelle's item"
expect "the item's title" "(<'Kestrelle'>,)" "$(item_property Title)"
check "the item has an icon" grep -q '([0-9]*, [0-9]*, \[byte 0x' <<<"$(item_property IconPixmap)"
expect "the item's menu is at /MenuBar" "(<objectpath '/MenuBar'>,)" "$(item_property Menu)"
for title in "${kestrelle_menu_entries[@]}"; do
    check "the menu has \"$title\"" test -n "$(menu_id "$title")"
done

click_entry "Capture Desktop to Clipboard" EventGroup
wait_for "a PNG image on the clipboard" pasted_png
expect "the clipboard holds a PNG of the whole output showing the desktop" "PNG $screen 3366CC" \
    "$(image_facts "$work/pasted.png")"

# restart_watcher : the tray restarts; Kestrelle's item registers with it again.
restart_watcher() {
    kill "$watcher_pid"
    wait "$watcher_pid" 2>/dev/null || true
    start_watcher
}
restart_watcher
echo "ok - the item registers again when the tray restarts"

click_entry "Quit Kestrelle"
wait_for_exit
expect "\"Quit Kestrelle\" ends Kestrelle with status 0" 0 "$exit_status"

# With the tray running before Kestrelle starts, Qt makes the item itself.
first_run_lines=$(wc -l <"$log")
start_kestrelle "$work/app"
wait_for "Kestrelle's item to register with the running tray" registered 3
item=$(sed -n 's/^registered //p' "$registrations" | tail -n 1)
restart_watcher
echo "ok - Qt's item too registers again when the tray restarts"
check "the item's menu has \"Capture Desktop\"" test -n "$(menu_id "Capture Desktop")"
# The tray shows the menu; a menu of Kestrelle's own would open as a window of its own, within moments
# as the chooser does: two seconds without one count as none.
window_in_sway() { [ "$(kestrelle_windows_in_sway)" -gt 0 ]; }
no_window_after_click() {
    sni_call /StatusNotifierItem org.kde.StatusNotifierItem.Activate 10 10 >/dev/null
    ! KESTRELLE_WAIT=2 wait_for "a window" window_in_sway 2>/dev/null
}
check "a click on the item opens no window" no_window_after_click
before=$(date +%s)
click_entry "Capture Desktop"
after=$(date +%s)
confirm_chooser
wait_for_capture_file "$shots" "$before" "$after"
expect "the file is a PNG of the whole output showing the desktop" "PNG $screen 3366CC" "$(image_facts "$file")"
expect "the second run logs the missing portal and nothing else" 1 \
    "$(tail -n +$((first_run_lines + 1)) "$log" | wc -l)"
finish
