#!/usr/bin/env bash
# The translations as installed into a prefix of one's own ($1 is the build tree, then the languages):
# the desktop entries and the metainfo valid with every language merged in, and the program and its tool
# finding their catalogues in a prefix moved from where the build meant it.
set -euo pipefail
source "$(dirname "$0")/../support/checks.sh"
build=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrelle-translations.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix="$work/my prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
id=io.github.kestrelle.Kestrelle
entry=$prefix/share/applications/$id.desktop autostart=$prefix/share/kestrelle/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml

check "desktop-file-validate accepts the translated menu entry and autostart entry" \
    desktop-file-validate "$entry" "$autostart"
check "appstreamcli validate --no-net accepts the translated metainfo" \
    appstreamcli validate --no-net "$metainfo"
# Every language in the name, the comment and each action's name; in the metainfo a summary for each,
# whose tags gettext writes by release (pt_BR, pt-BR, zh-Hans-CN).
merged() {
    local language
    for language; do
        [ "$(grep -c "^Name\[$language\]=" "$entry")" -eq 5 ] && grep -q "^Comment\[$language\]=" "$entry" &&
            grep -q "^Name\[$language\]=" "$autostart" || { echo "not merged: $language" && return 1; }
    done
    [ "$(grep -c '<summary xml:lang=' "$metainfo")" -eq $# ]
}
check "the entries and the metainfo carry each language: $*" merged "$@"
expect "the menu entry's Name[de] is there, the English Name as it was" "Kestrelle 1" \
    "$(sed -n 's/^Name=//p' "$entry" | head -n 1) $(grep -c '^Name\[de\]=' <(sed '/^\[Desktop Action/q' "$entry"))"

# A language's texts differ from English wherever the installed programs find its catalogues; the tool
# translates only in a locale the system has, which the test makes.
mkdir "$work/locales"
localedef -i de_DE -f UTF-8 "$work/locales/de_DE.UTF-8" >/dev/null 2>&1 ||
    skip "localedef cannot make de_DE.UTF-8 (the locales package has its sources)"
differs() { [ "$(env -i LOCPATH="$work/locales" LANG=de_DE.UTF-8 "$@")" != "$(env -i LANG=C.UTF-8 "$@")" ]; }
check "the installed program's --help is German under LANG=de_DE.UTF-8" differs "$prefix/bin/kestrelle" --help
check "the installed capture tool's --help is German under LANG=de_DE.UTF-8" \
    differs "$prefix/libexec/kestrelle/screencapture" --help
finish
