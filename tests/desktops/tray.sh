#!/usr/bin/env bash
# Kestrelle in a real desktop session that tests/desktops/with-desktop provides:
#   tray.sh DESKTOP KESTRELLE SCREENCAPTURE
# Where the desktop has a tray, Kestrelle's item registers with the desktop's own
# StatusNotifierWatcher, the tray reads the program's menu over dbusmenu, and the tray's click on
# "Capture Desktop to Clipboard" leaves a PNG of the whole desktop on the desktop's clipboard. Where
# it has none, Kestrelle says so once and keeps running. Kestrelle's log is shown at the end: it
# tells what the desktop's shortcuts and portal made of the program.
desktop=$1
bus=$DBUS_SESSION_BUS_ADDRESS
# shellcheck source=../e2e/lib.sh
source "$(dirname "$0")/../e2e/lib.sh" "$2" "$3" ""
export DBUS_SESSION_BUS_ADDRESS=$bus
# shellcheck source=item.sh
source "$(dirname "$0")/item.sh"

# What each desktop offers a tray program: Qt's platform there, whether a tray is there, and a
# clipboard client that reads the desktop's clipboard. Headless GNOME has no keyboard, and wl-paste
# reads nothing from a seat without one; GNOME shares its clipboard with its Xwayland.
declare -A platform=([wlroots]=wayland [kde]=wayland [gnome]=wayland [gnome-tray]=wayland [xfce]=xcb)
declare -A has_tray=([wlroots]=yes [kde]=no [gnome]=no [gnome-tray]=yes [xfce]=yes)
declare -A paste=([wlroots]="wl-paste -t image/png" [kde]="wl-paste -t image/png"
    [gnome]="xclip -selection clipboard -t image/png -o" [gnome-tray]="xclip -selection clipboard -t image/png -o"
    [xfce]="xclip -selection clipboard -t image/png -o")
[ -n "${platform[$desktop]:-}" ] || { echo "unknown desktop $desktop" >&2; exit 2; }
export QT_QPA_PLATFORM=${platform[$desktop]}
desktop_size=1280x800

# end_session shows the log when the script failed; it is worth reading when it passed too.
trap 'status=$?; [ "$status" -ne 0 ] || { echo "Kestrelle'"'"'s log:"; sed "s/^/  /" "$log"; }; end_session $status' EXIT

pasted_png() {
    # shellcheck disable=SC2086 # the client and its options
    timeout 10 ${paste[$desktop]} >"$work/pasted.png" 2>/dev/null && identify "$work/pasted.png" >/dev/null 2>&1
}

echo "# $desktop: $XDG_CURRENT_DESKTOP on $XDG_SESSION_TYPE, Qt on $QT_QPA_PLATFORM"
stage_with_tool "$work/app"
start_kestrelle "$work/app"

if [ "${has_tray[$desktop]}" = no ]; then
    no_tray_line="No system tray is running; the Kestrelle icon will appear when one starts"
    wait_for "Kestrelle to say that there is no tray" log_has "$no_tray_line"
    sleep 1
    check "with no tray Kestrelle keeps running" test -d "/proc/$kestrelle_pid"
    expect "it says so once" 1 "$(log_count "$no_tray_line")"
    finish
    exit
fi

find_item
echo "ok - Kestrelle's item registered with the desktop's tray as $item_service$item_path"
echo "# the item: Title $(item_property Title), ItemIsMenu $(item_property ItemIsMenu), Menu $menu_path"

expect "the tray reads the program's menu, separators and all" \
    "Capture Desktop|Capture Desktop to Clipboard|-|Set keyboard shortcuts...|-|Preferences...|-|About Kestrelle|Quit Kestrelle" \
    "$(menu_labels | paste -sd '|')"

click_entry "Capture Desktop to Clipboard"
wait_for "a PNG image on the desktop's clipboard" pasted_png
expect "the clipboard holds a PNG of the whole desktop" "PNG $desktop_size" "$(identify -format '%m %wx%h' "$work/pasted.png")"

click_entry "Quit Kestrelle"
wait_for_exit
expect "\"Quit Kestrelle\" ends Kestrelle with status 0" 0 "$exit_status"
finish
