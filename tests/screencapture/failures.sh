#!/usr/bin/env bash
# Captures in a world that fails them. Ends with status 77 (skipped) when a case could not run here,
# once every other case has.
source "$(dirname "$0")/lib.sh"
here=$(dirname "$0")
skipped=()
preload

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

# The disk fills up mid-capture: a file size limit, whose signal must not kill the tool, and a small
# tmpfs, where the failed file must give its space back. Every encoder stops the grab and says so.
show_test_picture
small=$work/small
mkdir "$work/full" "$small"
mount_tmpfs "$small" 32k 2>/dev/null || { small='' && skipped+=("full tmpfs: cannot mount a tmpfs here"); }
tmpfs_full() { fails 1 "$small/shot.$1*No space left" "$small" timeout 30 "$tool" -x "$small/shot.$1" &&
    [ "$(df --output=used -k "$small" | tail -1)" -eq 0 ]; }
for extension in png jpg tif bmp webp; do
    check "file size limit while writing $extension" fails 1 "$work/full/shot.$extension" "$work/full" \
        bash -c 'ulimit -f 8 && exec "$@"' _ timeout 30 "$tool" -x "$work/full/shot.$extension"
    [ -z "$small" ] || check "full tmpfs while writing $extension: its space given back" tmpfs_full "$extension"
done

# No unnamed files, no no-replace renames, no hard links (sshfs, SMB): every capture lands whole, and a
# taken name is never replaced; nor removed when another file is renamed onto the claim before a failed rename.
cc -shared -fPIC -O1 -o "$work/no-links.so" "$here/../support/no-links.c" -ldl
no_links=("${preloaded[@]}" LD_PRELOAD="$work/no-links.so $work/preload.so")
mkdir "$work/remote" "$work/claimed"
echo keep >"$work/remote/shot.png"
for _ in 1 2; do "${no_links[@]}" "$tool" -x "$work/remote/shot.png"; done
check "no hard links: the taken name kept, the captures numbered and whole" test "$(cat "$work/remote/shot.png")" = keep \
    -a "$(ls "$work/remote" | wc -l)" -eq 3 -a -z "$(convert "$work/remote/shot 3.png" null: 2>&1)"
echo theirs >"$work/theirs"
err=$("${no_links[@]}" SWAP_AT=rename SWAP_FROM="$work/theirs" SWAP_TO="$work/claimed/shot.png" SWAP_FAIL=1 \
    "$tool" -x "$work/claimed/shot.png" 2>&1) && status=0 || status=$?
expect "no hard links, the claim taken by another file before a failed rename: that file kept, nothing else left" \
    "1 screencapture: cannot save '$work/claimed/shot.png': Input/output error theirs shot.png" \
    "$status $err $(cat "$work/claimed/shot.png") $(ls -A "$work/claimed")"

mkdir "$work/crowded"
(cd "$work/crowded" && touch shot.png shot\ {2..10000}.png)
err=$("$tool" -x "$work/crowded/shot.png" 2>&1) && status=0 || status=$?
expect "'shot.png' to 'shot 10000.png' all taken: status 1, one line saying so, no file added" \
    "1 screencapture: cannot save '$work/crowded/shot.png': it and 'shot 2.png' to 'shot 10000.png' are all taken 10000" \
    "$status $err $(ls -A "$work/crowded" | wc -l)"
rm -rf "$work/crowded"

# A stand-in viewer, started by a tool that was started with signals ignored and blocked (as nohup or a
# shell's background job does, and more): env lists those it inherits. A viewer that inherited them would
# not stop at a closed pipe, a file too large, a hang-up or an interrupt.
mkdir "$work/bin" "$work/shots"
echo "#!/usr/bin/env -S --list-signal-handling sh -c 'echo \"\$1\" >\"\$VIEWER_OPENED\"'" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
touch "$work/shots/shot.png"
VIEWER_OPENED=$work/opened /usr/bin/python3 -c 'import os, signal, sys
for s in (signal.SIGHUP, signal.SIGINT, signal.SIGQUIT, signal.SIGUSR1, signal.SIGTERM): signal.signal(s, signal.SIG_IGN)
signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGUSR2, signal.SIGALRM})
os.execvp(sys.argv[1], sys.argv[1:])' env PATH="$work/bin:$PATH" "$tool" -P -x "$work/shots/shot.png" 2>"$work/viewer.err"
wait_for "the viewer" test -s "$work/opened"
check "-P opens the file actually saved, leaving the one there alone" \
    test "$(cat "$work/opened")" = "$work/shots/shot 2.png" -a ! -s "$work/shots/shot.png"
expect "-P: the viewer starts with no signal blocked or ignored" "" "$(cat "$work/viewer.err")"

# No sound server, and one whose connections wait in its backlog, never served: silence, the capture
# written, the tool ended within seconds.
mkdir -m 0700 "$work/runtime"
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

# with_notifications MODE CMD...: CMD on a private bus open to every user, with notifications.py MODE
# (stuck, or record FILE) as the notification service. Sets status, err (CMD's stderr) and ms.
sed 's|<policy context="default">|&<allow user="*"/>|' "$here/../portal/session.conf" >"$work/bus.conf"
with_notifications() {
    dbus-run-session --config-file="$work/bus.conf" -- bash -c \
        'read -r < <(exec /usr/bin/python3 "$0" $1) || exit 125
        start=${EPOCHREALTIME/./}; "${@:3}" 2>"$2"; status=$?
        echo $(((${EPOCHREALTIME/./} - start) / 1000)) >"$2.ms"; exit $status' \
        "$here/notifications.py" "$1" "$work/notified.err" "${@:2}" 2>/dev/null && status=0 || status=$?
    err=$(cat "$work/notified.err") ms=$(cat "$work/notified.err.ms")
}
notification() { printf '["%s", "%s"]' "$1" "$2"; } # as notifications.py records one

# The service never answers and floods the tool faster than it reads (preload.c): given up after 2 s.
with_notifications stuck "${preloaded[@]}" SLOW_READS_US=100 "$tool" -x "$work/missing/shot.png"
check "a stuck notification service and a flood of signals: status 1 ($status), one line, ended within about 2 s ($ms ms)" \
    test "$status" -eq 1 -a "$err" = "screencapture: cannot save into '$work/missing': No such file or directory" -a \
    "$ms" -ge 1900 -a "$ms" -lt 3500

# A folder named with a newline and a byte that is no UTF-8: one line on stderr, escaped as Kestrelle's
# log escapes; the notification says it all, the byte replaced.
odd=$work/$'new\nline\xff'
with_notifications "record $work/odd-notes" "$tool" -x "$odd/shot.png"
expect "a newline in a folder's name: one line on stderr, escaped" \
    "1 screencapture: cannot save into '$work/new\x0aline"$'\xff'"': No such file or directory" "$status $err"
expect "... and a notification of the whole message, the byte that is no UTF-8 replaced by U+FFFD" \
    "$(notification "Screenshot not saved" "cannot save into '$work/new\\nline\\ufffd': No such file or directory")" \
    "$(cat "$work/odd-notes" 2>/dev/null)"

# No thread or process to be had: the tool as a user without processes (root has no limit; the bus takes
# only a user it knows) under limits of one to three: one line, the same notified, status 1, no file.
limited=
for user in nobody games news uucp; do
    if uid=$(id -u "$user" 2>/dev/null) && [ -z "$(pgrep -U "$uid")" ]; then limited=$uid && break; fi
done
if [ "$(id -u)" -eq 0 ] && [ -n "$limited" ]; then
    chmod 0711 "$work"
    mkdir "$work/limited"
    chown "$limited" "$work/limited"
    aborted=0
    for most in 1 2 3; do
        rm -f "$work/limited-notes"
        # (A sanitizer build's leak check at the exit needs a thread of its own, which the limit refuses.)
        with_notifications "record $work/limited-notes" setpriv --reuid="$limited" --regid="$(id -g "$limited")" --clear-groups \
            prlimit --nproc="$most" env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
            "$tool" -x "$work/limited/shot-$most.png"
        if [ "$status" -eq 0 ]; then
            check "at most $most threads: the capture saved whole" test "$(image_info "$work/limited/shot-$most.png")" = "PNG 640x480"
            continue
        fi
        aborted=$((aborted + 1))
        check "at most $most threads: status 1 ($status), one line ($err), the same notified, no file" \
            test "$status" -eq 1 -a "$(wc -l <<<"$err")" -eq 1 -a -n "$(grep '^screencapture: ' <<<"$err")" -a \
            "$(cat "$work/limited-notes" 2>/dev/null)" = "$(notification "Screenshot not saved" "${err#screencapture: }")" -a \
            -z "$(ls -A "$work/limited" | grep -v '^shot-[0-9].png$')" -a ! -e "$work/limited/shot-$most.png"
    done
    check "a limit of one thread fails the capture ($aborted limits did)" test "$aborted" -ge 1
else
    skipped+=("no thread to be had: needs root, and a user without processes to run the tool as")
fi

# The X server killed during a 4K capture, earlier each round, so that some kills land mid-grab: the
# capture ends whole first, or fails with one line (no display, or the connection lost) and leaves nothing.
convert -seed 3 -size 3840x2160 plasma:fractal "$work/picture-4k.png"
middle=0
for delay in 0.30 0.20 0.12 0.08 0.05 0.03 0.02 0.01; do
    name=gone${delay/./}
    start_server "$name" 3840x2160x24 -nolisten tcp
    server=${servers[-1]}
    export DISPLAY=":${display[$name]}"
    display -window root "$work/picture-4k.png" || true
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
        check "server killed after ${delay}s: status 1 (saw $status), one line that says so ($err), nothing left" \
            test "$status" -eq 1 -a "$(wc -l <<<"$err")" -eq 1 -a -z "$(ls -A "$work/$name")" -a \
            -n "$(grep -E '^screencapture: (.*X server|cannot open display)' <<<"$err")"
    fi
done
check "at least one kill landed during a capture ($middle of 8)" test "$middle" -ge 1

# X servers that answer nobody: one grabbed by another client; one that greets and then says nothing
# (a proxy passes the greeting only); one that, behind such a proxy, floods events faster than the tool
# reads them (preload.c). Every capture, file or -c, gives up after 10 s, leaving no file or process.
cc -O1 -o "$work/grab-server" "$here/../support/grab-server.c" -lxcb
start_server grabbed 640x480x24 -nolisten tcp
start_server mute 640x480x24 -nolisten tcp
coproc grabber { DISPLAY=":${display[grabbed]}" exec "$work/grab-server"; }
grabber_pid=$grabber_PID # bash unsets grabber_PID once it has reaped the process
read -r -t 10 state <&"${grabber[0]}" || state=
check "another client holds the server grab" test "$state" = grabbed
# proxy SERVER-SOCKET [flood] &: prints its port. A flood is of KeymapNotify events, the one kind with no
# sequence number, for 30 s at most. (exec: $! is the proxy's own, for the exit to stop it.)
proxy() {
    exec python3 -c 'import socket, struct, sys, threading, time
def take(s, n):
    data = b""
    while len(data) < n: data += s.recv(n - len(data))
    return data
def flood(client):
    events, end = (bytes([11]) + bytes(31)) * 2048, time.monotonic() + 30
    try:
        while time.monotonic() < end: client.sendall(events)
    except OSError: pass # the tool has gone
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
    held += [client, server]
    if sys.argv[2:] == ["flood"]: threading.Thread(target=flood, args=(client,), daemon=True).start()' "$@"
}
declare -A where=([grabbed]=":${display[grabbed]}")
for name in mute flood; do
    mkfifo "$work/$name-port"
    proxy "/tmp/.X11-unix/X${display[mute]}" $name >"$work/$name-port" &
    servers+=($!)
    read -r port <"$work/$name-port"
    where[$name]=127.0.0.1:$((port - 6000))
done
started=$SECONDS
captures=()
for name in grabbed mute flood; do
    slowly=()
    [ $name != flood ] || slowly=("${preloaded[@]}" SLOW_READS_US=5000)
    mkdir "$work/$name"
    DISPLAY=${where[$name]} timeout 30 "${slowly[@]}" "$tool" -x "$work/$name/shot.png" >"$work/$name-file.err" 2>&1 &
    captures+=($!)
    DISPLAY=${where[$name]} timeout 30 "${slowly[@]}" "$tool" -c -x >"$work/$name-clipboard.err" 2>&1 &
    captures+=($!)
done
statuses=()
for capture in "${captures[@]}"; do wait "$capture" && statuses+=(0) || statuses+=($?); done
check "unanswered captures end within 15 s ($((SECONDS - started)) s), each with status 1 (${statuses[*]}), saying so" \
    test $((SECONDS - started)) -lt 15 -a "${statuses[*]}" = "1 1 1 1 1 1" -a "$(sort -u "$work"/{grabbed,mute,flood}-*.err)" = \
    "screencapture: the X server did not answer within 10 seconds"
for name in grabbed mute flood; do
    none_left() { [ -z "$(ls -A "$work/$name")$(tool_processes "DISPLAY=${where[$name]}")" ]; }
    check "$name server: no file, no hidden file, no process left behind" wait_for "none left" none_left
done
exec {grabber[1]}>&-
wait "$grabber_pid" 2>/dev/null || true
for reason in "${skipped[@]}"; do echo "ok - # SKIP $reason"; done
finish || exit
[ ${#skipped[@]} -eq 0 ] || exit 77
