#!/usr/bin/env bash
# Captures in a world that fails them: a command line the tool refuses, no display or compositor, a
# folder that cannot take the file, a disk that fills up, file systems without hard links, no image
# viewer for -P; no sound server or a stuck one; the X server going away in the middle of a capture,
# or answering nobody.
source "$(dirname "$0")/lib.sh"

# fails STATUS TEXT FOLDER CMD...: CMD ends with STATUS and one line on stderr that says TEXT (a
# pattern), and leaves nothing in FOLDER, not even a hidden file.
fails() {
    local want=$1 text=$2 folder=$3 status=0
    shift 3
    err=$("$@" 2>&1 >/dev/null) || status=$?
    [ "$status" -eq "$want" ] && [ "$(wc -l <<<"$err")" -eq 1 ] && [[ $err == screencapture:*$text* ]] &&
        [ -z "$(ls -A "$folder" 2>/dev/null)" ]
}
out=$work/out
mkdir "$out"
for args in "-q a.png" "" "-x -P" "a.png b.png" "-c a.png" "-c -P"; do
    # shellcheck disable=SC2086 # the row's arguments
    check "misuse ($args): one usage line, status 2" fails 2 "usage: screencapture" "$out" env -C "$out" "$tool" $args
done
check "unset DISPLAY: status 1" fails 1 "" "$out" env DISPLAY= "$tool" -x "$out/a.png"
check "unreachable display: status 1" fails 1 ":4095" "$out" env DISPLAY=:4095 "$tool" -x "$out/a.png"
check "unreachable compositor: status 1" fails 1 "compositor 'kestrelle-nowhere'" "$out" env -u DISPLAY \
    XDG_SESSION_TYPE=wayland XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY=kestrelle-nowhere "$tool" -x "$out/a.png"
check "missing folder" fails 1 "$work/missing" "$work/missing" "$tool" -x "$work/missing/shot.png"

# The disk fills up while the image is still grabbed and encoded: a file size limit, whose signal the
# tool must not die of, and a small tmpfs (where the test may mount one), where the failed file must
# give its space back. Every encoder must stop the grab and report the failure, not wait forever.
show_test_picture
small=$work/small
mkdir "$work/full" "$small"
mount_tmpfs "$small" 32k 2>/dev/null || { small='' && echo "ok - full tmpfs # SKIP: cannot mount a tmpfs here"; }
tmpfs_full() { fails 1 "$small/shot.$1*No space left" "$small" timeout 30 "$tool" -x "$small/shot.$1" &&
    [ "$(df --output=used -k "$small" | tail -1)" -eq 0 ]; }
for extension in png jpg tif bmp webp; do
    check "file size limit while writing $extension" fails 1 "$work/full/shot.$extension" "$work/full" \
        bash -c 'ulimit -f 8 && exec "$@"' _ timeout 30 "$tool" -x "$work/full/shot.$extension"
    [ -z "$small" ] || check "full tmpfs while writing $extension: its space given back" tmpfs_full "$extension"
done

# A file system with no unnamed files, no no-replace renames and no hard links (sshfs, SMB mounts):
# every capture still lands whole, and a taken name is never replaced.
cc -shared -fPIC -O1 -o "$work/no-links.so" "$(dirname "$0")/../support/no-links.c" -ldl
mkdir "$work/remote"
echo keep >"$work/remote/shot.png"
# (A sanitizer build wants its runtime first; the file system calls reach it all the same.)
for _ in 1 2; do
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 LD_PRELOAD=$work/no-links.so \
        "$tool" -x "$work/remote/shot.png"
done
check "no hard links: the taken name kept, the captures numbered and whole" test "$(cat "$work/remote/shot.png")" = keep \
    -a "$(ls "$work/remote" | wc -l)" -eq 3 -a -z "$(convert "$work/remote/shot 3.png" null: 2>&1)"

# A stand-in viewer that records what it was asked to open, and the signals it was started with
# ignored.
mkdir "$work/bin" "$work/shots"
printf '#!/bin/sh\nawk "/^SigIgn:/ { print \\$2 }" /proc/$$/status >"%s/ignored"\nprintf "%%s\\n" "$@" >"%s/opened"\n' \
    "$work" "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
touch "$work/shots/shot.png"
PATH="$work/bin:$PATH" "$tool" -P -x "$work/shots/shot.png"
wait_for "the viewer" test -s "$work/opened"
check "-P opens the file actually saved, leaving the one there alone" \
    test "$(cat "$work/opened")" = "$work/shots/shot 2.png" -a ! -s "$work/shots/shot.png"
# The tool ignores SIGPIPE and SIGXFSZ for its own writes; a viewer that inherited that would not
# stop at a closed pipe or a file too large.
check "-P: the viewer starts with SIGPIPE and SIGXFSZ at their defaults (ignored: $(cat "$work/ignored"))" \
    test $((0x$(cat "$work/ignored") & (1 << (13 - 1) | 1 << (25 - 1)))) -eq 0
# No sound server, and one that accepts connections and never answers: the sound is left out, without
# a word where there is none, and the tool ends within seconds all the same, its capture written.
mkdir -m 0700 "$work/runtime"
# Connections wait in its backlog, accepted by the system and never served.
python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(64); time.sleep(600)' "$work/runtime/stuck" &
servers+=($!)
wait_for "the stuck sound server" test -S "$work/runtime/stuck"
for sound in none stuck; do
    started=$SECONDS
    said=$(XDG_RUNTIME_DIR=$work/runtime PULSE_SERVER=unix:$work/runtime/$sound timeout 60 \
        "$tool" "$work/$sound.png" 2>&1) && status=0 || status=$?
    [ $sound = stuck ] && said=
    check "sound server $sound: status 0 within 15 s, nothing said, the capture written" test "$status" -eq 0 -a \
        -z "$said" -a $((SECONDS - started)) -lt 15 -a "$(image_info "$work/$sound.png")" = "PNG 640x480"
done

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
        # Killed before the tool connected, the display cannot be opened; after, the connection is lost.
        check "server killed after ${delay}s: status 1 (saw $status), one line that says so ($err), nothing left" \
            test "$status" -eq 1 -a "$(wc -l <<<"$err")" -eq 1 -a -z "$(ls -A "$work/$name")" -a \
            -n "$(grep -E '^screencapture: (.*X server|cannot open display)' <<<"$err")"
    fi
done
check "at least one kill landed during a capture ($middle of 8)" test "$middle" -ge 1

# Display servers that answer nobody: one grabbed by another client, which it alone is served
# until it lets go, and one that greets the tool and then says nothing more (behind a proxy that
# passes on the greeting only). Every capture, to a file or onto the clipboard, gives up within
# seconds with one line and status 1, and leaves no file and no process behind.
cc -O1 -o "$work/grab-server" "$(dirname "$0")/../support/grab-server.c" -lxcb
mkfifo "$work/mute-port"
start_server grabbed 640x480x24 -nolisten tcp
start_server mute 640x480x24 -nolisten tcp
coproc grabber { DISPLAY=":${display[grabbed]}" exec "$work/grab-server"; }
grabber_pid=$grabber_PID # bash unsets grabber_PID once it has reaped the process
read -r -t 10 state <&"${grabber[0]}" || state=
check "another client holds the server grab" test "$state" = grabbed
python3 -c 'import socket, struct, sys
def take(s, n):
    data = b""
    while len(data) < n: data += s.recv(n - len(data))
    return data
listener = socket.create_server(("127.0.0.1", 0))
print(listener.getsockname()[1], flush=True)
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
    held += [client, server]' "/tmp/.X11-unix/X${display[mute]}" >"$work/mute-port" &
servers+=($!)
read -r port <"$work/mute-port"
mute=127.0.0.1:$((port - 6000))
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
check "unanswered captures end within 15 s ($((SECONDS - started)) s), each with status 1 (${statuses[*]}), saying so" \
    test $((SECONDS - started)) -lt 15 -a "${statuses[*]}" = "1 1 1 1" -a "$(sort -u "$work"/{grabbed,mute}-*.err)" = \
    "screencapture: the X server did not answer within 10 seconds"
for way in "grabbed :${display[grabbed]}" "mute $mute"; do
    read -r name where <<<"$way"
    none_left() { [ -z "$(ls -A "$work/$name")$(tool_processes "DISPLAY=$where")" ]; }
    check "$name server: no file, no hidden file, no process left behind" wait_for "none left" none_left
done
exec {grabber[1]}>&-
wait "$grabber_pid" 2>/dev/null || true
finish
