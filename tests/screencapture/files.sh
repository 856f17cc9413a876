#!/usr/bin/env bash
# Folders that cannot take the file, and -P handing the saved file to the image viewer.
source "$(dirname "$0")/lib.sh"

refused() { # folder: status 1, a message naming the folder, and nothing left there
    local folder=$1 status=0 err
    shift
    err=$("$@" -x "$folder/shot.png" 2>&1) || status=$?
    [ "$status" -eq 1 ] && [[ $err == screencapture:*"$folder"* ]] && [ -z "$(ls -A "$folder" 2>/dev/null)" ]
}
check "missing folder" refused "$work/missing" "$tool"

mkdir -m 0555 "$work/locked"
if [ "$(id -u)" -eq 0 ]; then
    # root writes anywhere; the folder's owner gets a fair refusal as an unprivileged user
    chown nobody "$work/locked"
    chmod 0711 "$work"
    check "unwritable folder" refused "$work/locked" setpriv --reuid=nobody --regid=nogroup --clear-groups "$tool"
else
    check "unwritable folder" refused "$work/locked" "$tool"
fi
touch "$work/plain"
below_file() {
    local status=0
    "$tool" -x "$work/plain/shot.png" 2>/dev/null || status=$?
    [ "$status" -eq 1 ] && [ ! -s "$work/plain" ]
}
check "a file in place of the folder" below_file

# The disk fills up while the image is still being grabbed and encoded: a file size limit, whose
# signal the tool must not die of, and a real file system that runs out of space (a small tmpfs, where
# the test may mount one), where the failed file must give its space back or the next capture fails
# too. Every encoder must stop the grab and report the failure, not wait for it forever.
disk_full() { # FOLDER EXTENSION [FILE-SIZE-LIMIT]
    local status=0
    err=$([ -z "${3:-}" ] || ulimit -f "$3"; timeout 30 "$tool" -x "$1/shot.$2" 2>&1) || status=$?
    [ "$status" -eq 1 ] && [[ $err == screencapture:*"$1/shot.$2"* ]] && [ -z "$(ls -A "$1")" ]
}
tmpfs_full() { # EXTENSION
    disk_full "$work/small" "$1" && [[ $err == *"No space left"* ]] &&
        [ "$(df --output=used -k "$work/small" | tail -1)" -eq 0 ]
}
show_test_picture
mkdir "$work/full"
mount_tmpfs "$work/small" 32k && small=yes || echo "ok - full tmpfs # SKIP: cannot mount a tmpfs here"
for extension in png jpg tif bmp webp; do
    check "disk full while writing $extension: message, status 1, nothing left" disk_full "$work/full" "$extension" 8
    [ -z "${small:-}" ] || check "full tmpfs while writing $extension: the same, its space given back" tmpfs_full "$extension"
done
if [ -n "${small:-}" ]; then
    head -c 64k /dev/zero >"$work/small/filler" 2>/dev/null || true
    err=$(timeout 30 "$tool" -x "$work/small/shot.png" 2>&1) && status=0 || status=$?
    check "tmpfs full before the capture: message, status 1, nothing added" \
        test "$status" -eq 1 -a "${err#screencapture:*No space left}" != "$err" -a "$(ls -A "$work/small")" = filler
fi

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
check "no hard links: the taken name kept, the captures numbered" \
    test "$(cat "$work/remote/shot.png")" = keep -a "$(ls "$work/remote" | wc -l)" -eq 3
check "no hard links: the capture decodes" decodes_cleanly "$work/remote/shot 3.png"

# A stand-in viewer that records what it was asked to open, and the signals it was started with
# ignored.
mkdir "$work/bin" "$work/shots"
printf '#!/bin/sh\nawk "/^SigIgn:/ { print \\$2 }" /proc/$$/status >"%s/ignored"\nprintf "%%s\\n" "$@" >"%s/opened"\n' \
    "$work" "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
touch "$work/shots/shot.png"
PATH="$work/bin:$PATH" "$tool" -P -x "$work/shots/shot.png"
for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.02; done
check "-P opens the file actually saved" test "$(cat "$work/opened" 2>/dev/null)" = "$work/shots/shot 2.png"
check "-P leaves the existing file alone" test ! -s "$work/shots/shot.png"
# The tool ignores SIGPIPE and SIGXFSZ for its own writes; a viewer that inherited that would not
# stop at a closed pipe or a file too large.
check "-P: the viewer starts with SIGPIPE and SIGXFSZ at their defaults (ignored: $(cat "$work/ignored"))" \
    test $((0x$(cat "$work/ignored") & (1 << (13 - 1) | 1 << (25 - 1)))) -eq 0
err=$(PATH="$work/none" "$tool" -P -x "$work/shots/shot.png" 2>&1) && status=0 || status=$?
check "-P without a viewer: saved, one message naming the file, status 1" \
    test "$status" -eq 1 -a -s "$work/shots/shot 3.png" -a "$(wc -l <<<"$err")" -eq 1
check "-P without a viewer: the saved file decodes" decodes_cleanly "$work/shots/shot 3.png"
expect "-P without a viewer: the message" \
    "screencapture: saved '$work/shots/shot 3.png' but cannot open it: xdg-open: No such file or directory" "$err"
finish
