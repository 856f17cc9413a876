#!/usr/bin/env bash
# The capture tool under weston (no screen copy) against the fake portal on this private bus; GNOME's own
# portal is in tests/desktops/portal.sh.   screenshot.sh TOOL FAKE-PORTAL
source "$(dirname "$0")/../screencapture/lib.sh" # $work, checks; stops the processes in $servers on exit
fake_portal=$2

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --socket=kestrelle-portal --idle-time=0 >"$work/weston.log" 2>&1 &
servers+=($!)
wait_for "weston" test -S "$XDG_RUNTIME_DIR/kestrelle-portal" || { cat "$work/weston.log" >&2; exit 1; }
export WAYLAND_DISPLAY=kestrelle-portal
unset DISPLAY

# The portal saves $work/source.png, as it is at the request, into a folder whose URI needs escapes.
shots="$work/portal shots/Écran"
mkdir -p "$shots"
convert -seed 7 -size 320x200 plasma:fractal -fill '#ff0000' -draw 'rectangle 0,0 40,40' \
    -fill white -draw 'rectangle 41,0 80,40' -depth 8 "PNG24:$work/picture.png"
portal_pid=
start_portal() { # ARGS...
    [ -n "$portal_pid" ] && { kill "$portal_pid" || true; wait "$portal_pid" || true; }
    "$fake_portal" --screenshot-picture="$work/source.png" --screenshot-folder="$shots" "$@" &
    portal_pid=$!
    servers+=($portal_pid)
    gdbus wait --session --timeout 5 org.freedesktop.portal.Desktop || { echo "the fake portal did not start" >&2; return 1; }
}
# capture NAME [ENV-COMMAND...]: the tool (under ENV-COMMAND) into $work/NAME; sets status and err.
capture() { err=$(timeout 20 "${@:2}" "$tool" -x "$work/$1" 2>&1) && status=0 || status=$?; }
# from_portal PICTURE NAME : the portal hands PICTURE to a capture into NAME.
from_portal() { cp "$1" "$work/source.png" && capture "$2"; }

# A portal that only floods the tool, on a bus of its own, beside the rest: the tool, reading slowly
# (preload.c), gives up when its minute is over, not when the flood stops.
preload
dbus-run-session --config-file="$(dirname "$0")/session.conf" -- bash -c '"$1" --screenshot-answer=flood &
    gdbus wait --session --timeout 5 org.freedesktop.portal.Desktop || exit 125
    start=$SECONDS
    timeout 100 "${@:3}" 2>"$2.err"
    echo "$? $((SECONDS - start))" >"$2.status"
    kill %1' _ "$fake_portal" "$work/flooded.png" "${preloaded[@]}" SLOW_READS_US=100 "$tool" -x "$work/flooded.png" \
    >/dev/null 2>&1 &
flooded=$!

start_portal
convert "$work/picture.png" -colors 64 "PNG8:$work/palette.png"
convert "$work/picture.png" -colorspace Gray -depth 8 "$work/grey.png"
convert "$work/picture.png" -alpha set -depth 16 "PNG64:$work/deep-alpha.png"
for kind in palette grey deep-alpha; do
    from_portal "$work/$kind.png" "$kind-shot.png"
    check "a $kind PNG from the portal saves its pixels" same_pixels "$work/$kind-shot.png" "$work/$kind.png"
done
from_portal "$work/picture.png" as-is.png
check "the portal's PNG is stored as it is" cmp -s "$work/as-is.png" "$work/picture.png"
capture as-is.jpg
expect "... and decoded for a JPEG" "JPEG 320x200" "$(image_info "$work/as-is.jpg")"

# Unreadable: fails, names the portal's file and keeps it; one a decoder could not read to its end is
# damaged however whole it looks (its checksums right): a bit of its image data flipped, or the header of
# the whole picture with the image data of its top half.
head -c 20000 "$work/picture.png" >"$work/truncated.png"
convert "$work/picture.png" "JPEG:$work/jpeg.png"
idat() { python3 -c 'import sys; print(open(sys.argv[1], "rb").read().index(b"IDAT") - 4)' "$1"; }
at=$(idat "$work/picture.png")
cp "$work/picture.png" "$work/bad-checksum.png"
byte=$(od -An -tu1 -j $((at + 1000)) -N1 "$work/picture.png")
printf "\\$(printf %o $((byte ^ 16)))" | dd of="$work/bad-checksum.png" bs=1 seek=$((at + 1000)) conv=notrunc status=none
convert "$work/picture.png" -crop 320x100+0+0 +repage -depth 8 "PNG24:$work/top.png"
{ head -c "$at" "$work/picture.png" && tail -c +$(($(idat "$work/top.png") + 1)) "$work/top.png"; } >"$work/half-the-rows.png"
for how in truncated jpeg bad-checksum half-the-rows; do
    from_portal "$work/$how.png" "refused-$how.png"
    [ "$how" = jpeg ] && says="unreadable: .* not a PNG image" || says="damaged: cannot read '$shots/Screenshot .*.png'"
    expect "refused ($how): status 1, no file, the portal's file named" "1 no 1" \
        "$status $([ -e "$work/refused-$how.png" ] && echo file || echo no) $(grep -c "$says" <<<"$err")"
done
check "unreadable pictures are kept" test "$(find "$shots" -type f | wc -l)" -eq 4
find "$shots" -type f -delete

# The portal's file only as a regular file of its own: a link is not followed, a FIFO would keep the tool
# waiting for a writer. Either is refused at once and left alone.
cp "$work/picture.png" "$work/source.png"
mkfifo "$shots/fifo.png"
ln -s "$work/picture.png" "$shots/link.png"
for kind in fifo link; do
    start_portal --screenshot-uri="$shots/$kind.png"
    capture "$kind-shot.png"
    [ $kind = fifo ] && why="not a regular file" || why="a symbolic link, which is not followed"
    expect "the portal's file a $kind: refused at once, saying why, nothing saved, the $kind left" \
        "1 screencapture: the desktop portal's screenshot is unreadable: cannot read '$shots/$kind.png': $why no yes" \
        "$status $err $([ -e "$work/$kind-shot.png" ] && echo saved || echo no) $([ -e "$shots/$kind.png" ] && echo yes)"
done
check "... and what the link names kept" cmp -s "$work/picture.png" "$(readlink "$shots/link.png")"
rm "$shots/fifo.png" "$shots/link.png"

# The portal's file goes only while its name names the file read. Another file takes the name (preload.c):
# once the file is read, before the tool looks at the name; and as the tool removes it, after it looked.
for moment in fdatasync unlink; do
    start_portal --screenshot-uri="$shots/swapped.png"
    cp "$work/picture.png" "$shots/swapped.png"
    cp "$work/grey.png" "$work/other.png"
    capture "swapped-$moment.png" "${preloaded[@]}" SWAP_AT=$moment SWAP_FROM="$work/other.png" SWAP_TO="$shots/swapped.png"
    check "swapped at $moment: the file read is saved" same_pixels "$work/swapped-$moment.png" "$work/picture.png"
    check "... the file that took the portal's file's name is left alone, nothing else left" \
        test "$(cmp -s "$shots/swapped.png" "$work/grey.png" && ls -A "$shots")" = swapped.png
    [ $moment = fdatasync ] && said=1 || said=0
    expect "... with $said line saying so" $said "$(grep -c "no longer the desktop portal's screenshot that was read; left alone" <<<"$err")"
    rm -f "$shots/swapped.png"
done

# Answers from another sender or to another request, which come first, are ignored; a portal names the
# request otherwise when the predicted name is taken, and answers before or after its reply.
for how in forged after-reply before-reply; do
    start_portal --screenshot-answer=$how
    capture answered.png
    check "only the portal's own answer counts ($how)" same_pixels "$work/answered.png" "$work/picture.png"
done

start_portal --screenshot-response=1
capture failed.png
expect "cancelled: fails, saying so" "1 screencapture: the desktop portal says the user cancelled the screenshot" "$status $err"
start_portal --without-screenshot
capture failed.png
expect "no Screenshot interface: fails, saying so" \
    "1 screencapture: the desktop portal offers no screenshots (org.freedesktop.portal.Screenshot)" "$status $err"

wait "$flooded" || true
read -r status seconds <"$work/flooded.png.status" || status=
expect "a portal that floods the tool and never answers: given up after its minute (${seconds:-?} s), saying so" \
    "1 yes screencapture: the desktop portal took no screenshot within 60 seconds" \
    "$status $([ "${seconds:-0}" -ge 59 ] && [ "$seconds" -le 70 ] && echo yes) $(cat "$work/flooded.png.err" 2>/dev/null)"
finish
