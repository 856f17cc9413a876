#!/usr/bin/env bash
# Kestrelle's global shortcuts in GNOME (tests/desktops/with-desktop gnome):   gnome-shortcuts.sh KESTRELLE
# GNOME 48's portal asks in its "Add Keyboard Shortcuts" dialog, for a program it knows by its desktop entry
# (in KESTRELLE_DATA_DIR); here the user cancels it through the accessibility bus. GNOME 43 has no portal.
source "$(dirname "$0")/session.sh" "$1"
export QT_QPA_PLATFORM=wayland QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
app_id=io.github.kestrelle.Kestrelle

gdbus call --session -d org.freedesktop.portal.Desktop -o /org/freedesktop/portal/desktop \
    -m org.freedesktop.DBus.Properties.Get org.freedesktop.portal.GlobalShortcuts version >/dev/null 2>&1 ||
    skip "this GNOME's portal has no global shortcuts"
[ -f "${KESTRELLE_DATA_DIR:-}/applications/$app_id.desktop" ] ||
    skip "KESTRELLE_DATA_DIR holds no applications/$app_id.desktop for the portal to know Kestrelle by"

bus_call() { gdbus call --session -d org.freedesktop.DBus -o / -m "org.freedesktop.DBus.$1" "$2" | tr -d "()',"; }
# The dialog is the window of GNOME Settings' shortcut provider, which the bus starts for it.
dialog_takes() {
    local pid
    pid=$(bus_call GetConnectionUnixProcessID org.gnome.Settings.GlobalShortcutsProvider 2>/dev/null) &&
        "$here/atspi.py" press "${pid#uint32 }" "$1" 2>/dev/null
}
windows() { "$here/atspi.py" texts "$kestrelle_pid"; }
commands_shown() { windows | grep -qx '  kestrelle --capture-desktop'; }
shortcuts_window_shown() { windows | grep -qx 'Keyboard Shortcuts'; }
# The first call of Kestrelle's connection to one of the portal's services, with its first argument. Qt
# reads a property of the portal as the application starts, which the portal takes from anyone.
first_portal_call() {
    awk -v from="sender=$(bus_call GetNameOwner io.github.kestrelle.Kestrelle) -> destination=org.freedesktop.portal.Desktop " \
        '/^method call/ { take = index($0, from) && !index($0, "interface=org.freedesktop.DBus.Properties;") } take' \
        "$work/calls" | head -n 2 | sed -n 's/.*interface=\([^;]*\); member=\(.*\)/\1.\2/p; s/^ *string //p' | tr '\n' ' '
}
quit() {
    application ActivateAction quit [] {} >/dev/null
    wait_for_exit
}

monitor "type='method_call',destination='org.freedesktop.portal.Desktop'"
seed_settings CaptureClipboardShortcut=Ctrl+Alt+J
stage_with_recorder "$work/app"

start_kestrelle "$work/app"
wait_for "Kestrelle on the session bus" name_owned io.github.kestrelle.Kestrelle
expect "Kestrelle's first request to the portal registers its application id" \
    "org.freedesktop.host.portal.Registry.Register \"$app_id\" " "$(first_portal_call)"
wait_for "GNOME's dialog to take Cancel" dialog_takes Cancel
wait_for "Kestrelle to hear that GNOME bound nothing" log_has "Shortcuts: the desktop bound no global shortcuts"
application ActivateAction shortcuts [] {} >/dev/null
wait_for "the Keyboard Shortcuts window" shortcuts_window_shown
expect "once the user cancelled, the Keyboard Shortcuts window offers the two commands to bind instead" \
    "kestrelle --capture-desktop kestrelle --capture-to-clipboard " "$(windows | sed -n 's/^  \(kestrelle .*\)/\1/p' | tr '\n' ' ')"
expect "the refusal is said once, and the portal took the id" "1 0" "$(log_count 'Shortcuts:') $(log_count 'Desktop portal:')"
quit
finish
