#!/usr/bin/env bash
# Installs the build into a prefix of its own and takes a screenshot to a file through the
# installed program's tray menu: the file must come from the installed private capture tool.
# Runs on a display with a tray host that tests/support/with-display provides; $1 is the build tree.
set -euo pipefail
source "$(dirname "$0")/../support/checks.sh"
source "$(dirname "$0")/../support/drive-kestrelle.sh"

build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrelle-install.XXXXXX")
# Neither the configured prefix nor one without a space: the program must find its tool from
# wherever it was put.
prefix="$work/my prefix"
shots=$work/shots
log=$work/kestrelle.log
kestrelle_pid=

export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache LC_ALL=C TZ=UTC
# No session bus: Qt then docks into the XEmbed tray host rather than looking for a D-Bus one.
unset DBUS_SESSION_BUS_ADDRESS

trap 'end_session $?' EXIT

one_file_in() { [ "$(find "$1" -type f | wc -l)" -eq 1 ]; }
no_files_in() { [ -z "$(find "$1" -type f)" ]; }

# Where the program would look before its own tool; a tool there would make this test prove nothing.
if [ -e /usr/sbin/screencapture ]; then
    echo "FAIL - /usr/sbin/screencapture exists, so the installed program would start it instead of its own"
    exit 1
fi

cmake --install "$build" --prefix "$prefix" >"$work/install.log"
tool="$prefix/libexec/kestrelle/screencapture"
check "the install puts kestrelle alone in bin/ and the capture tool in libexec/kestrelle/" \
    test "$(ls "$prefix/bin")" = kestrelle -a -x "$tool"

mkdir "$shots"
"$prefix/bin/kestrelle" 2>>"$log" &
kestrelle_pid=$!
wait_for_icon
capture_to_folder "$shots"
wait_for "a screenshot in $shots" one_file_in "$shots"
# The tool links the file into place only once it is complete, so a file that is there decodes.
shot=$(find "$shots" -type f)
echo "  the capture went to: $shot"
check "the screenshot is a PNG of the whole screen" \
    test "$(identify -format '%m %wx%h' "$shot")" = "PNG $(xdpyinfo | awk '/dimensions:/ { print $2 }')"
check "the program started its tool without complaint" test -z "$(grep -F 'Could not start' "$log")"

# With the installed tool gone, nothing else can take its place: the first file came from it.
rm "$tool"
rm "$shot"
capture_to_folder "$shots"
wait_for "the program to say it found no capture tool" grep -qF 'Could not start' "$log"
check "without the installed tool the program looks in the prefix's bin/ and libexec/kestrelle/ only" \
    grep -qF "Could not start /usr/sbin/screencapture: it is not installed (also looked in $prefix/bin, $prefix/libexec/kestrelle)" "$log"
check "without the installed tool no screenshot appears" no_files_in "$shots"

kill -TERM "$kestrelle_pid"
status=0
wait "$kestrelle_pid" || status=$?
kestrelle_pid=
check "the installed program quits on SIGTERM with status 0" test "$status" -eq 0

finish
