#!/usr/bin/env bash
# -c: the image stays on the clipboard after the tool returned, served by one process, until another
# program takes the clipboard and the pastes under way are done.
source "$(dirname "$0")/lib.sh"

servers_running() { [ "$(tool_processes | wc -l)" -eq "$1" ]; }
paste_png() { timeout 10 xclip -selection clipboard -t image/png -o >"$1"; }

show_test_picture
grab_reference "$work/reference.png"
# Command substitution waits for every holder of its pipe: the server must not keep one. An X11 session
# (with-display's) is grabbed and served there, whatever Wayland display it was handed.
out=$(WAYLAND_DISPLAY=kestrelle-nowhere timeout 10 "$tool" -c -x 2>&1) && status=0 || status=$?
check "-c returns at once, status 0, silent" test "$status" -eq 0 -a -z "$out"
check "TARGETS offers image/png" grep -qx image/png < <(timeout 10 xclip -selection clipboard -t TARGETS -o)
paste_png "$work/pasted.png"
check "pasted image is the screen" same_pixels "$work/pasted.png" "$work/reference.png"
check "image is large enough to need INCR" test "$(stat -c %s "$work/pasted.png")" -gt 1048576

# Started from a folder with a caller's descriptor open: the server that stays holds neither (the folder
# may be on a drive the user wants to take out).
mkdir "$work/folder"
(cd "$work/folder" && exec "$tool" -c -x 9>"$work/held")
check "a second -c leaves one server" wait_for "one server" servers_running 1
server=$(tool_processes)
check "the server works in / (saw $(readlink "/proc/$server/cwd"))" test "$(readlink "/proc/$server/cwd")" = /
check "the server holds no descriptor of the caller's" \
    test ! -e "/proc/$server/fd/9" -a -z "$(find "/proc/$server/fd" -lname "$work/*" 2>/dev/null)"

# A paste under way when another program takes the clipboard still gets the whole image.
cc -O1 -o "$work/slow-paste" "$(dirname "$0")/../support/slow-paste.c" -lxcb
mkfifo "$work/resume" "$work/paused"
"$work/slow-paste" <"$work/resume" >"$work/slow.png" 2>"$work/paused" &
paster=$!
exec 3>"$work/resume"
read -r -t 10 state <"$work/paused" || state=
echo text | xclip -selection clipboard 2>/dev/null
sleep 0.2
check "a paste under way keeps the server after the clipboard is taken" test "$state" = paused -a "$(tool_processes)" = "$server"
echo >&3
exec 3>&-
wait "$paster" || true
check "the paste under way completes" same_pixels "$work/slow.png" "$work/reference.png"
check "server exits once the clipboard is taken and the paste is done" wait_for "no server" servers_running 0

# The clipboard server killed: the next -c owns the clipboard again.
"$tool" -c -x
kill -KILL "$(tool_processes)"
"$tool" -c -x
paste_png "$work/after-kill.png" || true
check "-c after the server was killed: the screen is pasted" same_pixels "$work/after-kill.png" "$work/reference.png"
finish
