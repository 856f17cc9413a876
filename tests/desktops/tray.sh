#!/usr/bin/env bash
# Kestrelle's icon and menu in a desktop's own tray, also one started later (--tray-later) and restarted,
# in tests/desktops/with-desktop:   tray.sh DESKTOP KESTRELLE SCREENCAPTURE
desktop=$1
source "$(dirname "$0")/session.sh" "$2" "$3"
# Headless GNOME has no keyboard and wl-paste reads nothing from a seat without one; GNOME shares its
# clipboard with its Xwayland.
case $desktop in
wlroots | kde) export QT_QPA_PLATFORM=wayland && paste=(wl-paste -t image/png) ;;
gnome-tray) export QT_QPA_PLATFORM=wayland && paste=(xclip -selection clipboard -t image/png -o) ;;
xfce) export QT_QPA_PLATFORM=xcb && paste=(xclip -selection clipboard -t image/png -o) ;;
esac
# KDE's portal takes its screenshots from KWin, which offers none when it paints without GL: KWin 6 does
# on a machine without a render node.
if [ "$desktop" = kde ] && ! name_owned org.kde.KWin.ScreenShot2; then
    no_capture="KWin offers no screenshots here (no org.kde.KWin.ScreenShot2 without GL), so KDE's portal takes none"
fi
# What Kestrelle's menu does with a call is the same in every tray: those rows run in sway's alone.
[ "$desktop:${DESKTOP_TRAY:-}" = wlroots: ] && menu_rows=yes || menu_rows=

bus() { busctl --user --timeout=10 "$@"; }
# "SERVICE PATH" of each item, listed as SERVICE/PATH, SERVICE@PATH (GNOME's extension) or SERVICE.
items() {
    bus get-property org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems 2>/dev/null | grep -o '"[^"]*"' | tr -d '"' |
        sed -E 's|^([^/@]*)@?(/.*)?$|\1 \2|; s| $| /StatusNotifierItem|'
}
# menu_call METHOD SIGNATURE ARGS... : exactly these types, as any program on the bus may send.
menu_call() { bus -- call "$item_service" "$menu_path" com.canonical.dbusmenu "$@" 2>&1; }
# The entries as the tray lays the menu out, one "ID LABEL" a line, "-" for a separator's label.
entries() {
    bus --json=short -- call "$item_service" "$menu_path" com.canonical.dbusmenu GetLayout iias 0 -1 0 |
        jq -r '.data[1][2][].data | "\(.[0]) \(if .[1].type.data == "separator" then "-" else .[1].label.data end)"'
}
# menu_refuses METHOD SIGNATURE ARGS... : an error of the menu's own, not silence or a lost connection.
menu_refuses() { ! answer=$(menu_call "$@") && grep -qiE 'no such method|no entry' <<<"$answer"; }

# The icon is Kestrelle's StatusNotifierItem where the tray reads items from the bus, and Qt's X11 icon
# docked in the tray where an X11 tray started after the program; never both.
icon_count() { { items; [ "$QT_QPA_PLATFORM" != xcb ] || kestrelle_icon || true; } | grep -c .; }
icon_shown() { [ "$(icon_count)" -gt 0 ]; }
tray_running() { name_owned org.kde.StatusNotifierWatcher; }
start_tray() {
    # shellcheck disable=SC2086 # a command line
    $DESKTOP_TRAY >/dev/null 2>&1 &
    tray_pid=$!
    helpers+=($!)
    wait_for "the tray to start" tray_running
}
no_more_starts() { ! KESTRELLE_WAIT=2 wait_for "start $(($1 + 1))" has_started "$starts" $(($1 + 1)) 2>/dev/null; }

# Kestrelle's own menu, or the tray's: a mapped window at the root that says it is a menu.
a_menu_open() {
    local window
    menu_open && return 0
    for window in $(xwininfo -root -children | grep -o '^ *0x[0-9a-f]*'); do
        xprop -id "$window" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q MENU &&
            xwininfo -id "$window" | grep -q IsViewable && return 0
    done
    return 1
}
# opens_menu BUTTON : a click where the icon is drawn, what differs from the panel's background.
opens_menu() {
    local x y w h
    space_clicks
    import -window root -crop 1240x28+12+0 "$work/panel.png"
    read -r w h x y <<<"$(convert "$work/panel.png" -fuzz 5% -trim -format '%w %h %X %Y' info:)"
    xdotool mousemove $((${x#+} + w / 2)) $((${y#+} + h / 2)) click "$1"
    KESTRELLE_WAIT=5 wait_for "a menu after a click with button $1" a_menu_open || return 1
    xdotool key Escape
    wait_for "the menu to close on Escape" eval '! a_menu_open'
}
# Some image of the item's icon with an opaque pixel (ARGB, alpha first).
icon_drawn() {
    bus --json=short get-property "$item_service" "$item_path" org.kde.StatusNotifierItem IconPixmap |
        jq -e '[.data[][2] as $p | range(0; $p | length; 4) | $p[.]] | any(. > 0)' >/dev/null
}
# The window of commands on the screen: X11 windows as xdotool finds them, Wayland ones as sway lists them.
commands_windows() {
    if [ "$QT_QPA_PLATFORM" = xcb ]; then
        window_count Kestrelle
    else
        swaymsg -t get_tree -r | jq '[.. | objects | select(.app_id? == "io.github.kestrelle.Kestrelle" and .name? == "Kestrelle")] | length'
    fi
}
commands_shown() { [ "$(commands_windows)" -eq "$1" ]; }
closed_for_tray="Closed the Kestrelle window: the Kestrelle icon is now in the tray"
# Sets second_said to the status and the line a start of Kestrelle says while it runs; waits a moment
# for any window it would open.
second_start() {
    local said status=0
    said=$(timeout 20 "$work/app/kestrelle" 2>&1 >/dev/null) || status=$?
    sleep 1.5
    second_said="$status ${said#*] }"
}
pasted_png() { timeout 10 "${paste[@]}" >"$work/pasted.png" 2>/dev/null && identify "$work/pasted.png" >/dev/null 2>&1; }

# The first start of the tool captures for real; the others only count, lest a flood swamp the machine,
# and wait while the test holds a lock, as a capture under way does.
stage_wrapped "$work/app" "\"$work/app/record\" \"\$@\"; mkdir '$work/claimed' 2>/dev/null && exec '$work/app/real' \"\$@\"; flock -s '$work/hold' true"
start_kestrelle "$work/app"
if [ -n "${DESKTOP_TRAY:-}" ]; then
    wait_for "Kestrelle to say that there is no tray" \
        log_has "No system tray is running; the Kestrelle icon will appear when one starts"
    # As at a login where the panel starts a moment after the programs.
    wait_for "the window Kestrelle opens for want of a tray" commands_shown 1
    sleep 2
    start_tray
fi
wait_for "Kestrelle's icon in the desktop's tray" icon_shown
if [ -n "${DESKTOP_TRAY:-}" ]; then
    wait_for "the window to close once the icon is in the tray" commands_shown 0
    expect "once the icon is in the tray, the window Kestrelle opened at its start closes, saying so once" \
        1 "$(log_count "$closed_for_tray")"
    check "Kestrelle runs on" test -d "/proc/$kestrelle_pid"
    second_start
    expect "then a second start exits with status 0, saying that Kestrelle runs, and opens no window" \
        "0 Kestrelle is already running (process $kestrelle_pid); this one exits 0" "$second_said $(commands_windows)"
fi

if read -r item_service item_path < <(items); then
    mapfile -t properties < <(bus get-property "$item_service" "$item_path" org.kde.StatusNotifierItem Menu Title ItemIsMenu)
    menu_path=$(cut -d'"' -f2 <<<"${properties[0]}")
    # With ItemIsMenu a tray opens the menu on a left click as on a right one.
    expect "the item is a menu called Kestrelle" 's "Kestrelle" b true' "${properties[*]:1}"
    # A tray draws the images the item gives; a release without Qt's SVG plugin once gave none.
    check "the item's icon has pixels a tray shows" icon_drawn
    clipboard=$(entries | sed -n 's/^\([0-9]*\) Capture Desktop to Clipboard$/\1/p')
    about=$(entries | sed -n 's/^\([0-9]*\) About Kestrelle$/\1/p')
    if [ -n "$menu_rows" ]; then
        expect "the tray reads the program's menu, separators and all" \
            "Capture Desktop|Capture Desktop to Clipboard|-|Set keyboard shortcuts...|-|Preferences...|-|About Kestrelle|Quit Kestrelle" \
            "$(entries | cut -d' ' -f2- | paste -sd '|')"
        # A tray that calls these anyway gets no window beyond the window of commands; sway lists them.
        windows() { swaymsg -t get_tree -r | grep -c '"app_id": "io.github.kestrelle.Kestrelle"' || true; }
        windows_before=$(windows)
        for call in Activate ContextMenu; do
            bus call "$item_service" "$item_path" org.kde.StatusNotifierItem "$call" ii 10 10 >/dev/null
        done
        sleep 2
        expect "the tray's own Activate and ContextMenu calls open no window" "$windows_before" "$(windows)"
        # shellcheck disable=SC2046 # the events, a word each
        menu_call EventGroup 'a(isvu)' 500 $(printf "$clipboard clicked i 0 0 $about clicked i 0 0 %.0s" $(seq 250)) >/dev/null
    else
        menu_call Event isvu "$clipboard" clicked i 0 0 >/dev/null
    fi
else
    choose_menu_entry "Capture Desktop to Clipboard"
fi
if [ -n "${no_capture:-}" ]; then
    wait_for_start "$starts" 1
    echo "SKIP - the clipboard holds a PNG of the whole desktop: $no_capture"
else
    # Plasma 5.27's portal answers "cancelled" when KWin's picture comes late on a loaded machine: the
    # portal's failure, which the tool reports as such; the person's next click is taken then.
    pasted_or_cancelled() { pasted_png || log_has "the desktop portal says the user cancelled the screenshot"; }
    wait_for "a PNG image on the desktop's clipboard" pasted_or_cancelled
    if ! pasted_png && [ "$desktop" = kde ]; then
        rmdir "$work/claimed"
        menu_call Event isvu "$clipboard" clicked i 0 0 >/dev/null
        wait_for "a PNG image on the desktop's clipboard after a second click" pasted_png
    fi
    expect "the clipboard holds a PNG of the whole desktop" "PNG 1280x800" "$(identify -format '%m %wx%h' "$work/pasted.png")"
fi

if [ -n "$menu_rows" ]; then
    check "500 clicks in one call capture once" no_more_starts 1
    for _ in 1 2; do menu_call Event isvu "$clipboard" clicked i 0 0 >/dev/null & sleep 0.01; done
    wait_for_start "$starts" 2
    check "two clicks 10 ms apart capture once" no_more_starts 2
    # Calls of their own that alternate between two entries, as fast as a script sends them, while the
    # tools they start run on: no more than Kestrelle's bound start.
    exec {hold}>"$work/hold"
    flock "$hold"
    for _ in $(seq 40); do
        menu_call Event isvu "$clipboard" clicked i 0 0 && menu_call Event isvu "$about" clicked i 0 0
    done >/dev/null
    wait_for_start "$starts" 34
    check "80 clicks alternating with another entry start no more than 32 tools at once" no_more_starts 34
    expect "and one line says so" 1 "$(log_count "captures are under way, as many as Kestrelle runs at once")"
    flock -u "$hold"
    # An entry the menu lacks, alone or in a group; the last two, read as the types the interface names,
    # crashed Kestrelle and aborted it in libdbus.
    for call in "Event isvu 99 clicked i 0 0" "EventGroup a(isvu) 2 $clipboard clicked i 0 0 99 clicked i 0 0" \
        "EventGroup a(iivu) 1 1 7 i 0 0" "GetGroupProperties a(ii)as 1 1 2 1 label"; do
        # shellcheck disable=SC2086 # the call's words
        check "$call gets an error" menu_refuses $call
    done
    check "after them Kestrelle still runs, its menu the same" \
        test "$(entries | grep -c .)" -eq 9 -a "$(recorded_starts "$starts")" -eq 34
fi

# Once the tray has read the menu, as a person clicks only once the icon is drawn.
if [ "$QT_QPA_PLATFORM" = xcb ]; then
    check "a left click on the icon opens the menu" opens_menu 1
    check "a right click on the icon opens the menu" opens_menu 3
fi

if [ -n "${tray_pid:-}" ]; then
    kill "$tray_pid"
    wait_for "the tray to stop" eval '! tray_running'
    start_tray
    wait_for "Kestrelle's icon in the restarted tray" icon_shown
fi
expect "Kestrelle shows one icon in the tray${tray_pid:+, also once it has restarted}" 1 "$(icon_count)"

# A window the person took up before the tray came stays: opened again by a second start, or clicked
# (X11 alone: nothing here clicks in a Wayland window). Each time Kestrelle starts first again.
if [ -n "${tray_pid:-}" ]; then
    uses=("opened again")
    [ "$QT_QPA_PLATFORM" != xcb ] || uses+=(clicked)
    for use in "${uses[@]}"; do
        kill "$tray_pid"
        wait_for "the tray to stop" eval '! tray_running'
        timeout 20 "$work/app/kestrelle" --quit 2>/dev/null
        wait_for_exit
        start_kestrelle "$work/app"
        wait_for "the window Kestrelle opens for want of a tray" commands_shown 1
        if [ "$use" = "opened again" ]; then second_start; else click_in Kestrelle 2 2; fi
        sleep 1
        start_tray
        wait_for "Kestrelle's icon in the tray" icon_shown
        sleep 1.5
        expect "a window $use before the tray came stays" "1 1" "$(commands_windows) $(log_count "$closed_for_tray")"
    done
fi
finish || exit 1
[ -z "${no_capture:-}" ] || skip "$no_capture"
