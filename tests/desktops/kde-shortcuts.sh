#!/usr/bin/env bash
# Kestrelle's global shortcuts in Plasma (tests/desktops/with-desktop kde):   kde-shortcuts.sh KESTRELLE
# Plasma 5.27's portal binds only the shortcuts offered with CreateSession, files them under the session's
# name, and opens System Settings' shortcuts page for every BindShortcuts. Plasma 6's binds through
# BindShortcuts and tells what a session holds only through ListShortcuts.
source "$(dirname "$0")/session.sh" "$1"

accel() { gdbus call --session -d org.kde.kglobalaccel "$@"; }
# The kglobalaccel components that hold Kestrelle's shortcut, one object path a line.
kestrelle_components() {
    for path in $(accel -o /kglobalaccel -m org.kde.KGlobalAccel.allComponents | grep -o "/component/[^']*"); do
        ! accel -o "$path" -m org.kde.kglobalaccel.Component.shortcutNames | grep -q "'CaptureClipboardShortcut'" ||
            echo "$path"
    done
}
one_component() { component=$(kestrelle_components) && [ "$(wc -w <<<"$component")" -eq 1 ]; }
# press_until_start N : the shortcut run as kglobalaccel does for its key until the tool's Nth start (a
# program just started may not have its portal session yet).
press_until_start() {
    for _ in $(seq 15); do
        for path in $(kestrelle_components); do
            accel -o "$path" -m org.kde.kglobalaccel.Component.invokeShortcut CaptureClipboardShortcut >/dev/null
        done
        KESTRELLE_WAIT=2 wait_for_start "$starts" "$1" 2>/dev/null && return 0
    done
    wait_for_start "$starts" "$1"
}

monitor "type='method_call',interface='org.freedesktop.portal.GlobalShortcuts'"
seed_settings CaptureClipboardShortcut=Ctrl+Alt+J
stage_with_recorder "$work/app"
start_kestrelle "$work/app"
wait_for "kglobalaccel to hold Kestrelle's shortcut" one_component
# Qt's key code, as kglobalaccel keeps keys: Ctrl | Alt | J.
check "kglobalaccel binds it to Ctrl+Alt+J" grep -q "'CaptureClipboardShortcut', [^]]*\[$((0x04000000 | 0x08000000 | 0x4a))\]" \
    <(accel -o "$component" -m org.kde.kglobalaccel.Component.allShortcutInfos)
press_until_start 1
sleep 1
expect "a press starts the tool once, for the clipboard and silent" '1 "-c" "-x"' \
    "$(recorded_starts "$starts") $(recorded_arguments "$starts" 1)"

kill -TERM "$kestrelle_pid"
wait_for_exit
first=$component
start_kestrelle "$work/app"
press_until_start 2
one_component || true
expect "after a restart the press starts the tool again; kglobalaccel keeps the one component" \
    "\"-c\" \"-x\" $first" "$(recorded_arguments "$starts" 2) $component"
# Sessions opened, asked what they hold, asked to bind: the second start binds nothing again.
[ "$KDE_SESSION_VERSION" = 5 ] && asked="2 0 0" || asked="2 2 1"
expect "each start opened one portal session; only what the desktop did not hold yet was bound" \
    "$asked" "$(calls CreateSession) $(calls ListShortcuts) $(calls BindShortcuts)"
expect "Kestrelle says nothing about its shortcuts" 0 "$(log_count 'Shortcuts:')"
finish
