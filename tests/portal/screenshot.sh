#!/usr/bin/env bash
# The capture tool under weston (no screen copy) asks the fake portal on this private bus for the
# answers no installed portal gives on demand; GNOME's own is in tests/desktops/portal.sh.
#   screenshot.sh TOOL FAKE-PORTAL
source "$(dirname "$0")/../screencapture/lib.sh" # $work, checks; stops the processes in $servers on exit
fake_portal=$2

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --socket=kestrelle-portal --idle-time=0 >"$work/weston.log" 2>&1 &
servers+=($!)
for _ in $(seq 200); do [ -S "$XDG_RUNTIME_DIR/kestrelle-portal" ] && break; sleep 0.05; done
[ -S "$XDG_RUNTIME_DIR/kestrelle-portal" ] || { echo "weston did not start:" >&2; cat "$work/weston.log" >&2; exit 1; }
export WAYLAND_DISPLAY=kestrelle-portal
unset DISPLAY

# Where the portal saves, in a path whose URI needs escapes; the picture it saves is whatever
# $work/source.png holds at the request.
shots="$work/portal shots/Écran"
mkdir -p "$shots"
convert -seed 7 -size 320x200 plasma:fractal -fill '#ff0000' -draw 'rectangle 0,0 40,40' \
    -fill white -draw 'rectangle 41,0 80,40' -depth 8 "PNG24:$work/picture.png"
cp "$work/picture.png" "$work/source.png"

portal_pid=
start_portal() { # FAKE-PORTAL ARGS...
    [ -n "$portal_pid" ] && { kill "$portal_pid" || true; wait "$portal_pid" || true; }
    "$fake_portal" --screenshot-picture="$work/source.png" --screenshot-folder="$shots" "$@" &
    portal_pid=$!
    servers+=($portal_pid)
    gdbus wait --session --timeout 5 org.freedesktop.portal.Desktop || { echo "the fake portal did not start" >&2; return 1; }
}

# capture NAME: runs the tool into $work/NAME; sets status and err.
capture() { err=$(timeout 20 "$tool" -x "$work/$1" 2>&1) && status=0 || status=$?; }

start_portal
# Each kind of PNG passes the check that the portal's file is whole, and keeps its pixels.
convert "$work/picture.png" -colors 64 "PNG8:$work/palette.png"
convert "$work/picture.png" -colorspace Gray -depth 8 "$work/grey.png"
convert "$work/picture.png" -alpha set -depth 16 "PNG64:$work/deep-alpha.png"
for kind in palette grey deep-alpha; do
    cp "$work/$kind.png" "$work/source.png"
    capture "$kind-shot.png"
    check "a $kind PNG from the portal saves its pixels" same_pixels "$work/$kind-shot.png" "$work/$kind.png"
done

# A PNG from the portal is stored as it is, and decoded for any other format.
cp "$work/picture.png" "$work/source.png"
capture as-is.png
check "the portal's PNG is stored as it is" cmp -s "$work/as-is.png" "$work/picture.png"
capture as-is.jpg
expect "... and decoded for a JPEG" "JPEG 320x200" "$(identify -format '%m %wx%h' "$work/as-is.jpg")"

# A picture that cannot be read fails, names the portal's file and keeps it; one that a decoder could
# not read to the end is refused as damaged, however whole it looks (its checksums all right).
head -c 20000 "$work/picture.png" >"$work/truncated.png"
convert "$work/picture.png" "JPEG:$work/jpeg.png"
# The offset of a PNG's first image data chunk, from its length field.
idat() { python3 -c 'import sys; print(open(sys.argv[1], "rb").read().index(b"IDAT") - 4)' "$1"; }
at=$(idat "$work/picture.png")
# A bit of the image data flipped, its checksum left as it was.
cp "$work/picture.png" "$work/bad-checksum.png"
byte=$(od -An -tu1 -j $((at + 1000)) -N1 "$work/picture.png")
printf "\\$(printf %o $((byte ^ 16)))" | dd of="$work/bad-checksum.png" bs=1 seek=$((at + 1000)) conv=notrunc status=none
# The header of the whole picture with the image data of its top half.
convert "$work/picture.png" -crop 320x100+0+0 +repage -depth 8 "PNG24:$work/top.png"
{ head -c "$at" "$work/picture.png" && tail -c +$(($(idat "$work/top.png") + 1)) "$work/top.png"; } >"$work/half-the-rows.png"
for how in truncated jpeg bad-checksum half-the-rows; do
    cp "$work/$how.png" "$work/source.png"
    capture "refused-$how.png"
    check "refused ($how): status 1, no file" test "$status" -eq 1 -a ! -e "$work/refused-$how.png"
    [ "$how" = jpeg ] && says="unreadable: .* not a PNG image" || says="damaged: cannot read '$shots/Screenshot .*.png'"
    expect "refused ($how): the portal's file named" 1 "$(grep -c "$says" <<<"$err")"
done
check "unreadable pictures are kept" test "$(find "$shots" -type f | wc -l)" -eq 4
find "$shots" -type f -delete

# The portal's file goes only while its name still names the file read: here another file takes
# the name while the tool reads (from a pipe, which it has opened once the writer's open returns).
cp "$work/picture.png" "$work/source.png"
start_portal --screenshot-uri="$shots/swapped.png"
mkfifo "$shots/swapped.png"
cp "$work/grey.png" "$work/other.png"
timeout 20 bash -c 'exec 3>"$1"; head -c 1000 "$2" >&3; mv "$3" "$1"; tail -c +1001 "$2" >&3' _ \
    "$shots/swapped.png" "$work/picture.png" "$work/other.png" &
writer=$!
capture swapped.png
wait "$writer" || true
check "the file read is saved" same_pixels "$work/swapped.png" "$work/picture.png"
check "a file that took the portal's file's name meanwhile is left alone" cmp -s "$shots/swapped.png" "$work/grey.png"
expect "... with one line" 1 "$(grep -c "no longer the desktop portal's screenshot that was read; left alone" <<<"$err")"

# Answers to this request from another sender or to another request, which come first, are ignored;
# a portal names the request object otherwise when the predicted name is taken, and answers before
# or after its reply.
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
finish
