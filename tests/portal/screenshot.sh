#!/usr/bin/env bash
# The capture tool in a Wayland session whose compositor (weston) has no screen copy protocol: it
# asks the fake portal on this private session bus for the screenshot, and saves that picture. The
# answers are those no installed portal gives on demand; GNOME's own is in tests/desktops/portal.sh.
#   screenshot.sh TOOL FAKE-PORTAL
source "$(dirname "$0")/../screencapture/lib.sh" # $work, checks; stops the processes in $servers on exit
fake_portal=$2

portal_pid=
stop_portal() {
    [ -n "$portal_pid" ] && { kill "$portal_pid" 2>/dev/null || true; wait "$portal_pid" 2>/dev/null || true; }
    portal_pid=
}

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

start_portal() {
    stop_portal
    "$fake_portal" --screenshot-picture="$work/source.png" --screenshot-folder="$shots" "$@" &
    portal_pid=$!
    servers+=($portal_pid)
    gdbus wait --session --timeout 5 org.freedesktop.portal.Desktop || { echo "the fake portal did not start" >&2; return 1; }
}

# capture NAME [TOOL ARGS...]: runs the tool into $work/NAME; sets status and err.
capture() {
    local name=$1
    shift
    err=$(timeout 20 "$tool" -x "$@" "$work/$name" 2>&1) && status=0 || status=$?
}

portal_files() {
    find "$shots" -type f | wc -l
}

start_portal
# Whatever the portal's PNG holds becomes the same pixels: each kind takes its own way through libpng.
convert "$work/picture.png" -colors 64 "PNG8:$work/palette.png"
convert "$work/picture.png" -colorspace Gray -depth 8 "$work/grey.png"
convert "$work/picture.png" -alpha set -depth 16 "PNG64:$work/deep-alpha.png"
for kind in palette grey deep-alpha; do
    cp "$work/$kind.png" "$work/source.png"
    capture "$kind-shot.png"
    check "a $kind PNG from the portal saves its pixels" same_pixels "$work/$kind-shot.png" "$work/$kind.png"
done

# A picture that cannot be read fails, names the portal's file and keeps it.
head -c 20000 "$work/picture.png" >"$work/source.png"
capture truncated.png
check "a damaged picture fails" test "$status" -eq 1 -a ! -e "$work/truncated.png"
expect "a damaged picture is named" 1 "$(grep -c "damaged: cannot read '$shots/Screenshot .*.png'" <<<"$err")"
convert "$work/picture.png" "JPEG:$work/source.png"
capture jpeg-source.png
expect "a picture that is no PNG is named" 1 "$(grep -c "unreadable: .* not a PNG image" <<<"$err")"
check "unreadable pictures are kept" test "$(portal_files)" -eq 2
find "$shots" -type f -delete

# A PNG from the portal is stored as it is, and decoded for any other format. One that a decoder
# could not read to the end is refused as damaged, however whole it looks.
cp "$work/picture.png" "$work/source.png"
capture as-is.png
check "the portal's PNG is stored as it is" cmp -s "$work/as-is.png" "$work/picture.png"
capture as-is.jpg
expect "... and decoded for a JPEG" "JPEG 320x200" "$(identify -format '%m %wx%h' "$work/as-is.jpg")"
# damage HOW: the picture's image data with a wrong checksum, or cut to half its rows (checksums right).
damage() {
    python3 - "$work/picture.png" "$work/source.png" "$1" <<'PY'
import struct, sys, zlib
source, target, how = sys.argv[1:]
data = open(source, "rb").read()
chunks, at = [], 8
while at < len(data):
    length, = struct.unpack(">I", data[at:at + 4])
    chunks.append([data[at + 4:at + 8], data[at + 8:at + 8 + length], data[at + 8 + length:at + 12 + length]])
    at += 12 + length
image = [c for c in chunks if c[0] == b"IDAT"]
if how == "checksum":
    body = bytearray(image[0][1])
    body[len(body) // 2] ^= 0x10
    image[0][1] = bytes(body)
else:
    rows = zlib.decompress(b"".join(c[1] for c in image))
    image[0][1] = zlib.compress(rows[:len(rows) // 2])
    chunks = [c for c in chunks if c[0] != b"IDAT" or c is image[0]]
    image[0][2] = struct.pack(">I", zlib.crc32(b"IDAT" + image[0][1]))
with open(target, "wb") as out:
    out.write(data[:8])
    for kind, body, crc in chunks:
        out.write(struct.pack(">I", len(body)) + kind + body + crc)
PY
}
for how in checksum rows; do
    damage "$how"
    capture "damaged-$how.png"
    check "image data with damaged $how is refused" test "$status" -eq 1 -a ! -e "$work/damaged-$how.png"
    expect "... as damaged" 1 "$(grep -c "damaged: cannot read '$shots/Screenshot .*.png'" <<<"$err")"
done
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
find "$shots" -type f -delete

# Answers to this request from another sender, or to another request, come first and are ignored.
start_portal --screenshot-forged-answers
capture forged.png
check "only the portal's own answer to this request counts" same_pixels "$work/forged.png" "$work/picture.png"

# A portal names the request object otherwise when the predicted name is taken; its answer may
# come before or after its reply.
start_portal --screenshot-unpredicted-handle
capture unpredicted.png
check "an unpredicted request handle answered after the reply" same_pixels "$work/unpredicted.png" "$work/picture.png"
start_portal --screenshot-unpredicted-handle --screenshot-response-first
start=$SECONDS
capture unpredicted-first.png
check "an unpredicted request handle answered before the reply, at once" \
    test "$status" -eq 0 -a $((SECONDS - start)) -lt 10

start_portal --screenshot-response=1
capture cancelled.png
check "cancelled at the portal: status 1" test "$status" -eq 1 -a ! -e "$work/cancelled.png"
expect "cancelled at the portal: says so" "screencapture: the desktop portal says the user cancelled the screenshot" "$err"

start_portal --without-screenshot
capture unoffered.png
expect "a portal without screenshots: says so" \
    "1 screencapture: the desktop portal offers no screenshots (org.freedesktop.portal.Screenshot)" "$status $err"

stop_portal
start=$SECONDS
capture no-portal.png
check "no portal: fails at once" test "$status" -eq 1 -a $((SECONDS - start)) -lt 10
expect "no portal: says so" 1 "$(grep -c 'no desktop portal on the session bus' <<<"$err")"
err=$(env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/kestrelle-portal" \
    timeout 20 "$tool" -x "$work/no-bus.png" 2>&1) && status=0 || status=$?
expect "no session bus: says so" "1 1" "$status $(grep -c 'cannot reach the session bus' <<<"$err")"
finish
