#!/usr/bin/env bash
# The world around the tool failing under it: the X server going away in the middle of a
# capture, its own clipboard server killed, and no sound server or a stuck one. (Full disks and a
# missing image viewer are in files.sh.)
source "$(dirname "$0")/lib.sh"

# No leftover of any kind in a folder: neither the file nor a hidden one it was written under.
empty_folder() { [ -z "$(ls -A "$1")" ]; }

# The X server killed while a 4K capture runs, at a different moment each round. Each capture
# either ends before the kill (status 0, the whole image) or says what happened (status 1, one
# line) and leaves nothing; none may hang. Later rounds kill earlier, so that some land in the
# middle of the grab.
picture_4k=$work/picture-4k.png
convert -seed 3 -size 3840x2160 plasma:fractal "$picture_4k"
middle=0
for delay in 0.30 0.20 0.12 0.08 0.05 0.03 0.02 0.01; do
    name=gone${delay/./}
    start_server "$name" 3840x2160x24 -nolisten tcp
    server=${servers[-1]}
    export DISPLAY=":${display[$name]}"
    display -window root "$picture_4k" || true
    mkdir "$work/$name"
    timeout 30 "$tool" -x "$work/$name/shot.png" 2>"$work/$name.err" &
    capture=$!
    sleep "$delay"
    { kill -KILL "$server" && wait "$server"; } 2>/dev/null || true
    status=0
    wait "$capture" || status=$?
    err=$(cat "$work/$name.err")
    if [ "$status" -eq 0 ]; then
        check "server killed after ${delay}s, capture done first: the whole image" \
            test "$(image_info "$work/$name/shot.png")" = "PNG 3840x2160" -a -z "$err"
    else
        middle=$((middle + 1))
        check "server killed after ${delay}s: status 1 (saw $status), one line, nothing left" \
            test "$status" -eq 1 -a "$(wc -l <<<"$err")" -eq 1
        # Killed before the tool connected, the display cannot be opened; after, the connection is lost.
        check "server killed after ${delay}s: the message says so ($err)" \
            grep -Eq '^screencapture: (.*X server|cannot open display)' <<<"$err"
        check "server killed after ${delay}s: no file, no hidden file" empty_folder "$work/$name"
    fi
done
check "at least one kill landed during a capture ($middle of 8)" test "$middle" -ge 1

# Display servers that answer nobody: one grabbed by another client, which it alone is served
# until it lets go, and one that greets the tool and then says nothing more (behind a proxy that
# passes on the greeting only). Every capture, to a file or onto the clipboard, gives up within
# seconds with one line and status 1, and leaves no file and no process behind.
cc -O1 -o "$work/grab-server" "$(dirname "$0")/../support/grab-server.c" -lxcb
start_server grabbed 640x480x24 -nolisten tcp
start_server mute 640x480x24 -nolisten tcp
coproc grabber { DISPLAY=":${display[grabbed]}" exec "$work/grab-server"; }
grabber_pid=$grabber_PID # bash unsets grabber_PID once it has reaped the process
read -r -t 10 state <&"${grabber[0]}" || state=
check "another client holds the server grab" test "$state" = grabbed
python3 -c 'import os, socket, struct, sys
def take(s, n):
    data = b""
    while len(data) < n: data += s.recv(n - len(data))
    return data
listener = socket.socket(); listener.bind(("127.0.0.1", 0)); listener.listen(8)
with open(sys.argv[2] + ".new", "w") as f: f.write(str(listener.getsockname()[1]))
os.rename(sys.argv[2] + ".new", sys.argv[2])
held = []
while True:
    client = listener.accept()[0]
    server = socket.socket(socket.AF_UNIX); server.connect(sys.argv[1])
    request = take(client, 12)
    order = "<" if request[:1] == b"l" else ">"
    name, data = struct.unpack(order + "HH", request[6:10])
    server.sendall(request + take(client, (name + 3) // 4 * 4 + (data + 3) // 4 * 4))
    reply = take(server, 8)
    client.sendall(reply + take(server, struct.unpack(order + "H", reply[6:8])[0] * 4))
    held += [client, server]' "/tmp/.X11-unix/X${display[mute]}" "$work/mute-port" &
servers+=($!)
for _ in $(seq 100); do [ -s "$work/mute-port" ] && break; sleep 0.05; done
mute=127.0.0.1:$(($(cat "$work/mute-port") - 6000))
started=$SECONDS
captures=()
for way in "grabbed :${display[grabbed]}" "mute $mute"; do
    read -r name where <<<"$way"
    mkdir "$work/$name"
    DISPLAY=$where timeout 30 "$tool" -x "$work/$name/shot.png" >"$work/$name-file.err" 2>&1 &
    captures+=($!)
    DISPLAY=$where timeout 30 "$tool" -c -x >"$work/$name-clipboard.err" 2>&1 &
    captures+=($!)
done
statuses=()
for capture in "${captures[@]}"; do
    wait "$capture" && statuses+=(0) || statuses+=($?)
done
check "unanswered captures end within 15 s ($((SECONDS - started)) s), each with status 1 (${statuses[*]})" \
    test $((SECONDS - started)) -lt 15 -a "${statuses[*]}" = "1 1 1 1"
for way in "grabbed :${display[grabbed]}" "mute $mute"; do
    read -r name where <<<"$way"
    for how in file clipboard; do
        check "$name server, $how: one line that says so ($(head -c 200 "$work/$name-$how.err"))" \
            grep -qx 'screencapture: the X server did not answer within 10 seconds' "$work/$name-$how.err"
    done
    check "$name server: no file, no hidden file" empty_folder "$work/$name"
    for _ in $(seq 100); do [ -z "$(tool_processes "DISPLAY=$where")" ] && break; sleep 0.05; done
    check "$name server: no process left behind" test -z "$(tool_processes "DISPLAY=$where")"
done
exec {grabber[1]}>&-
wait "$grabber_pid" 2>/dev/null || true

# The clipboard server killed: the next -c owns the clipboard again and serves the image.
start_server clip 640x480x24 -nolisten tcp
export DISPLAY=":${display[clip]}"
show_test_picture
grab_reference "$work/clip-reference.png"
"$tool" -c -x
kill -KILL $(tool_processes)
out=$(timeout 10 "$tool" -c -x 2>&1) && status=0 || status=$?
check "-c after the clipboard server was killed: status 0, silent" test "$status" -eq 0 -a -z "$out"
timeout 10 xclip -selection clipboard -t image/png -o >"$work/pasted.png" || true
check "-c after the clipboard server was killed: the screen is pasted" \
    same_pixels "$work/pasted.png" "$work/clip-reference.png"
echo text | xclip -selection clipboard 2>/dev/null

# A session that says it is X11 is captured and served there, whatever Wayland display it was handed.
in_x11_session=(env XDG_SESSION_TYPE=x11 WAYLAND_DISPLAY=kestrelle-nowhere timeout 10 "$tool" -x)
out=$("${in_x11_session[@]}" "$work/x11-session.png" 2>&1) && status=0 || status=$?
check "an X11 session with WAYLAND_DISPLAY: the screen is saved" \
    test "$status" -eq 0 -a -z "$out" -a "$(differing_pixels "$work/x11-session.png" "$work/clip-reference.png")" = 0
out=$("${in_x11_session[@]}" -c 2>&1) && status=0 || status=$?
timeout 10 xclip -selection clipboard -t image/png -o >"$work/x11-session-pasted.png" || true
check "an X11 session with WAYLAND_DISPLAY: the screen is on the X clipboard" \
    test "$status" -eq 0 -a -z "$out" -a "$(differing_pixels "$work/x11-session-pasted.png" "$work/clip-reference.png")" = 0
echo text | xclip -selection clipboard 2>/dev/null

# No sound server, and one that accepts connections and never answers: the sound is left out, without
# a word where there is none, and the tool ends within seconds all the same, its capture written.
mkdir -m 0700 "$work/runtime"
python3 -c 'import socket, sys
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8)
held = []
while True: held.append(s.accept())' "$work/runtime/stuck" &
servers+=($!)
for _ in $(seq 100); do [ -S "$work/runtime/stuck" ] && break; sleep 0.05; done
for sound in none stuck; do
    started=$SECONDS
    out=$(XDG_RUNTIME_DIR=$work/runtime PULSE_SERVER=unix:$work/runtime/$sound timeout 60 \
        "$tool" "$work/$sound.png" 2>&1) && status=0 || status=$?
    [ $sound = stuck ] && out=
    check "sound server $sound: status 0 within 15 s, nothing said" \
        test "$status" -eq 0 -a -z "$out" -a $((SECONDS - started)) -lt 15
    check "sound server $sound: the image is the screen" same_pixels "$work/$sound.png" "$work/clip-reference.png"
done
finish
