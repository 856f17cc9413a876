#!/usr/bin/env bash
# Kestrelle's global shortcuts in the KDE Plasma session that tests/desktops/with-desktop provides:
#   kde-shortcuts.sh KESTRELLE
# The stored shortcut reaches kglobalaccel through the desktop portal with its key, a press of it
# starts the capture tool, and after a restart the same one kglobalaccel component serves it. The
# portal is never asked to bind again: Plasma then opens System Settings' shortcuts page.
source "$(dirname "$0")/session.sh" "$1"

accel() { gdbus call --session -d org.kde.kglobalaccel "$@"; }

# The kglobalaccel components that hold Kestrelle's shortcut, one object path a line.
kestrelle_components() {
    local path
    for path in $(accel -o /kglobalaccel -m org.kde.KGlobalAccel.allComponents | grep -o "/component/[^']*"); do
        accel -o "$path" -m org.kde.kglobalaccel.Component.shortcutNames | grep -q "'CaptureClipboardShortcut'" &&
            echo "$path"
    done
    return 0
}
one_component() { component=$(kestrelle_components) && [ "$(wc -w <<<"$component")" -eq 1 ]; }

# press_until_start N : runs the shortcut, in each component that holds it, as kglobalaccel does for its
# key, until the capture tool has started N times in all: a program that has just started may not have
# its portal session yet.
press_until_start() {
    local path
    for _ in $(seq 15); do
        for path in $(kestrelle_components); do
            accel -o "$path" -m org.kde.kglobalaccel.Component.invokeShortcut CaptureClipboardShortcut >/dev/null
        done
        KESTRELLE_WAIT=2 wait_for_start "$starts" "$1" 2>/dev/null && return 0
    done
    echo "the capture tool did not start $1 times for the shortcut" >&2
    return 1
}

monitor "type='method_call',interface='org.freedesktop.portal.GlobalShortcuts'"
mkdir -p "$(dirname "$settings")"
printf '[General]\nCaptureClipboardShortcut=Ctrl+Alt+J\n' >"$settings"
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
expect "after a restart the press starts the tool again" '"-c" "-x"' "$(recorded_arguments "$starts" 2)"
one_component || true
expect "kglobalaccel still has one component for Kestrelle, the same" "$first" "$component"
expect "each start opened one portal session" 2 "$(calls CreateSession)"
expect "no start asked the portal to bind, which opens System Settings" 0 "$(calls BindShortcuts)"
expect "Kestrelle says nothing about its shortcuts" 0 "$(log_count 'Shortcuts:')"
finish
