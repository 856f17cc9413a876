#!/usr/bin/env bash
# tests/support/with-release as scripts/test uses it: a command's status comes back, and no mount of the
# root outlives it, whether the command ends, fails or is interrupted as Ctrl+C interrupts it.
#   release.sh RELEASE
set -euo pipefail
release=$1
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$here/../.." && pwd)/build-$release
source "$here/../support/checks.sh"
source "$here/../support/lib.sh"
with_release=$here/../support/with-release
root=${KESTRELLE_ROOTS:-/var/cache/kestrelle}/$release

# Any mount below the root, seen from any process's namespace.
mounts_left() { cat /proc/[0-9]*/mountinfo 2>/dev/null | awk '{ print $5 }' | grep -F "$root/" | sort -u || true; }

status=0
"$with_release" "$release" -- bash -c 'test -d /proc/1 && test -c /dev/null && grep -q "^VERSION_CODENAME='"$release"'$" /etc/os-release && exit 3' || status=$?
[ "$status" -ne 77 ] || skip "no $release root can be made here"
expect "a command inside the root sees its /proc and /dev and the release, and its status comes back" 3 "$status"
expect "no mount is left once it has ended" "" "$(mounts_left)"

marker=$(mktemp -u /tmp/release-test.XXXXXX)
setsid "$with_release" "$release" -- bash -c "touch /kestrelle/build/${marker##*/} && sleep 60" &
runner=$!
in_root() { [ -e "$build/${marker##*/}" ]; }
wait_for "the command inside the root" in_root
# The foreground process group of a terminal gets Ctrl+C's SIGINT.
kill -INT -- -"$runner"
wait "$runner" 2>/dev/null || true
rm -f "$build/${marker##*/}"
check "an interrupt ends every process inside" eval '! pgrep -f "sleep 60" | xargs -r -I{} readlink /proc/{}/root | grep -qF "$root"'
expect "no mount is left after an interrupt" "" "$(mounts_left)"
finish
