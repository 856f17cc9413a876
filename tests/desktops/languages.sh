#!/usr/bin/env bash
# Kestrelle in the user's language, in sway with waybar's tray started after it (tests/desktops/with-desktop
# wlroots --tray-later):   languages.sh KESTRELLE SCREENCAPTURE LCONVERT QM_FOLDER TEXT_DOMAIN
# Each row of the table is an environment and the language whose built catalogues must give every text
# read here: the window of commands (through the accessibility bus), the tray menu as the tray reads it
# over dbusmenu, --help, and the capture tool's notification of a failure. An English row shows today's
# English exactly. In every row the log is the English one, a line with Qt's reason why a tool could not
# start among it, and so are the tool's line on stderr and the notification's body, which is that line.
source "$(dirname "$0")/session.sh" "$1" "$2"
lconvert=$3 qm_folder=$4 text_domain=$5
export QT_QPA_PLATFORM=wayland QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# The settings of an earlier run, so that no row logs the first run's line.
seed_settings screenshotFileTypeIndex=0 screenshotFileType=png
# The program with its catalogues where the build keeps them, beside a capture tool that cannot start.
app=$work/app/bin
catalogues=$app/$(realpath --relative-to="$(dirname "$kestrelle")" "$qm_folder")
mkdir -p "$app" "$(dirname "$catalogues")"
cp "$kestrelle" "$app/"
ln -s "$qm_folder" "$catalogues"
printf '#!/nonexistent/interpreter\n' >"$app/screencapture"
chmod +x "$app/screencapture"

# The tool translates only in a locale the system has; the test makes its own.
export LOCPATH=$work/locales
mkdir "$LOCPATH"
for locale in ja_JP en_US de_DE; do
    localedef -i "$locale" -f UTF-8 "$LOCPATH/$locale.UTF-8" >/dev/null 2>&1 ||
        skip "localedef cannot make $locale.UTF-8 (the locales package has its sources)"
done

# ENVIRONMENT | LANGUAGE OF THE CATALOGUES (none: English). Each row starts from LANG=en_US.UTF-8.
rows=(
    "LANG=C.UTF-8|"
    "LANGUAGE=de|de"
    "LANG=ja_JP.UTF-8|ja"
    "LANG=de_DE.UTF-8 LANGUAGE=xx|"
    "|"
    "LANG=C.UTF-8 LANGUAGE=de|"
)
titles=("Capture Desktop" "Capture Desktop to Clipboard" "Set keyboard shortcuts..." "Preferences..."
    "About Kestrelle" "Quit Kestrelle")
summary="Screenshot not saved"

bus() { busctl --user --timeout=10 "$@"; }
item() {
    bus get-property org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems 2>/dev/null | grep -o '"[^"]*"' | tr -d '"' | grep .
}
# menu ITEM CALL ARGS... : a call to the item's menu.
menu() {
    local service=${1%%/*} path=/${1#*/}
    bus --json=short -- call "$service" "$(bus get-property "$service" "$path" org.kde.StatusNotifierItem Menu |
        cut -d'"' -f2)" com.canonical.dbusmenu "${@:2}"
}
# The entries as the tray lays the menu out, one "ID LABEL" a line, "-" for a separator's label.
entries() {
    menu "$1" GetLayout iias 0 -1 0 |
        jq -r '.data[1][2][].data | "\(.[0]) \(if .[1].type.data == "separator" then "-" else .[1].label.data end)"'
}
buttons() { "$here/atspi.py" buttons "$kestrelle_pid" 2>/dev/null | sed -n 's/^  //p'; }
window_read() { [ "$(buttons | grep -c .)" -eq ${#titles[@]} ]; }
tray_running() { name_owned org.kde.StatusNotifierWatcher; }
messages() { sed 's/^[^ ]* [^ ]* [^ ]* //' "$1"; }

# run ENVIRONMENT... : sets seen to the texts a person reads, said to the log, the tool's line on stderr and
# the notification's body.
run() {
    local in_language=(env -u LC_ALL -u LANGUAGE -u LC_MESSAGES LANG=en_US.UTF-8 "$@") tray
    local help window menu notification
    help=$("${in_language[@]}" "$app/kestrelle" --help | sed -n 's/^  --preferences *//p')
    "${in_language[@]}" "$app/kestrelle" 2>"$work/row.log" &
    kestrelle_pid=$!
    wait_for "the window of commands on the accessibility bus" window_read
    window=$(buttons | paste -sd '|')
    # shellcheck disable=SC2086 # a command line
    $DESKTOP_TRAY >/dev/null 2>&1 &
    tray=$!
    helpers+=("$tray")
    wait_for "Kestrelle's item in the tray" eval "item >/dev/null"
    menu=$(entries "$(item)" | cut -d' ' -f2- | paste -sd '|')
    # A capture whose tool cannot start: Qt's reason is in the log line.
    menu "$(item)" Event isvu "$(entries "$(item)" | sed -n 2p | cut -d' ' -f1)" clicked i 0 0 >/dev/null
    wait_for "Kestrelle to say that the tool could not start" grep -q 'Could not start' "$work/row.log"
    application ActivateAction quit [] {} >/dev/null
    wait_for_exit
    kill "$tray" && unset 'helpers[-1]'
    wait_for "the tray to stop" eval '! tray_running'

    python3 "$here/../screencapture/notifications.py" record "$work/notes" >"$work/service" &
    helpers+=($!)
    wait_for "the notification service" test -s "$work/service"
    "${in_language[@]}" "$real_tool" "$work/no folder/shot.png" 2>"$work/tool.log" || true
    wait_for "the notification" test -s "$work/notes"
    notification=$(jq -r '.[0]' "$work/notes")
    body=$(jq -r '.[1]' "$work/notes")
    kill "${helpers[-1]}" && unset 'helpers[-1]' && rm "$work/notes" "$work/service"
    seen="window $window; menu $menu; --help $help; notification $notification"
    said="log $(messages "$work/row.log" | paste -sd '|'); tool $(cat "$work/tool.log"); body $body"
}

# texts LANGUAGE : the titles and the summary in LANGUAGE's built catalogues (none: English), a line each.
texts() {
    [ -n "$1" ] || { printf '%s\n' "${titles[@]}" "$summary" && return 0; }
    "$here/catalogue.py" qm "$lconvert" "$qm_folder/kestrelle_$1.qm" StatusMenu "${titles[@]}"
    "$here/catalogue.py" mo "$(dirname "$real_tool")/locale/$1/LC_MESSAGES/$text_domain.mo" "$summary"
}
# expected LANGUAGE : what run sees where LANGUAGE is the user's.
expected() {
    local t
    mapfile -t t < <(texts "$1")
    echo "window $(printf '%s\n' "${t[@]:0:6}" | paste -sd '|'); menu ${t[0]}|${t[1]}|-|${t[2]}|-|${t[3]}|-|${t[4]}|${t[5]}; --help ${t[3]}; notification ${t[6]}"
}
# A catalogue that gives the English text back would pass unseen.
translated() { [ -z "$(comm -12 <(texts "" | sort) <(texts "$1" | sort))" ]; }

for row in "${rows[@]}"; do
    environment=${row%|*} language=${row#*|}
    # shellcheck disable=SC2086 # the variables, a word each
    run $environment
    [ -z "$language" ] || check "the $language catalogues translate each of these texts" translated "$language"
    expect "${environment:-LANG=en_US.UTF-8}: the window of commands, the tray menu, --help and the notification are in ${language:-English}" \
        "$(expected "$language")" "$seen"
    if [ -z "${reference:-}" ]; then
        reference=$said
        expect "the notification's body is the tool's line on stderr" "screencapture: $body" "$(cat "$work/tool.log")"
    fi
    expect "${environment:-LANG=en_US.UTF-8}: the log, the tool's line and the notification's body are the English ones" \
        "$reference" "$said"
done
finish
