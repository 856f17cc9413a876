#!/usr/bin/env bash
# The windows in the light look and in the dark one (chosen by a stored interface style): the
# background follows the look, and every control's text stands out from what it is drawn on, the
# file-type pop-up and the shortcut recorders as much as the labels.
source "$(dirname "$0")/lib.sh"

# grey TITLE X Y W H : the spread of grey levels and the mean grey (0 to 1) in that part of the window.
grey() {
    xwd -silent -id "$(visible_window "$1")" |
        convert xwd:- -crop "${4}x${5}+${2}+${3}" -colorspace Gray -format '%[fx:maxima-minima] %[fx:mean]' info:
}

legible() { awk -v c="$(grey "$@" | cut -d' ' -f1)" 'BEGIN { exit !(c > 0.4) }'; }

# background TITLE : "light" or "dark", from an empty corner of the window.
background() { awk -v m="$(grey "$1" 300 140 40 20 | cut -d' ' -f2)" 'BEGIN { print (m > 0.5 ? "light" : "dark") }'; }

stage_with_recorder "$work/app"
for look in light dark; do
    rm -rf "$XDG_CONFIG_HOME"
    [ "$look" = light ] || seed_settings AppleInterfaceStyle=Dark
    start_kestrelle "$work/app"
    wait_for_icon

    choose_menu_entry "Preferences..."
    wait_for_window "Preferences"
    wait_for "the $look Preferences window to be drawn, its first label readable" \
        legible "Preferences" 36 32 170 16
    expect "$look look: the Preferences window's background" "$look" "$(background "Preferences")"
    check "$look look: the file-type pop-up's text (PNG) can be read" legible "Preferences" 90 119 45 17

    choose_menu_entry "Set keyboard shortcuts..."
    wait_for_window "Keyboard Shortcuts"
    wait_for "the $look Keyboard Shortcuts window to be drawn, its first label readable" \
        legible "Keyboard Shortcuts" 20 20 100 16
    check "$look look: a shortcut recorder's text can be read" legible "Keyboard Shortcuts" 220 20 170 16
    quit_kestrelle
done
finish
