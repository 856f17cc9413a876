#!/usr/bin/env bash
# Installs the build into a prefix of its own and takes a screenshot to a file through the
# installed program's tray menu: the file must come from the installed private capture tool.
# Runs on a display with a tray host that tests/support/with-display provides; $1 is the build tree.
build=$1
source "$(dirname "$0")/../e2e/lib.sh" "" "" ""
export XDG_CACHE_HOME=$work/cache
# Neither the configured prefix nor one without a space: the program must find its tool from
# wherever it was put.
prefix="$work/my prefix"
shots=$work/shots

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
start_kestrelle "$prefix/bin"
wait_for_icon
capture_to_folder "$shots"
wait_for "a screenshot in $shots" one_file_in "$shots"
# The tool links the file into place only once it is complete, so a file that is there decodes.
shot=$(find "$shots" -type f)
echo "  the capture went to: $shot"
check "the screenshot is a PNG of the whole screen" \
    test "$(identify -format '%m %wx%h' "$shot")" = "PNG $(screen_size)"
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
wait_for_exit
expect "the installed program quits on SIGTERM with status 0" 0 "$exit_status"

finish
