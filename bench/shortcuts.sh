#!/usr/bin/env bash
# Times global shortcuts side by side on a private Xvfb display: from the key press, sent as real X
# input, to the bound command started, for Kestrelle's binder and for xbindkeys. Installs xbindkeys
# from Debian's packages when it is missing.
#   bench/shortcuts.sh [PRESSES]     (default 50 per program, after 5 warm-up presses)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
tool=${SHORTCUT_LATENCY:-$top/build/bin/shortcut-latency}
presses=${1:-50}
[ -x "$tool" ] || { echo "build first: $tool is missing" >&2; exit 1; }

if ! dpkg-query -W -f='${Status}' xbindkeys 2>/dev/null | grep -q 'install ok installed'; then
    if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends xbindkeys >/dev/null
fi

if [ "${1:-}" != --on-display ]; then
    exec "$top/tests/support/with-display" --timeout 300 -- "$0" --on-display "$presses"
fi
presses=$2
work=$(mktemp -d)
trap 'kill "${peer:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkfifo "$work/started"

echo "Kestrelle (its binder starts the command with QProcess::startDetached)"
"$tool" "$work/started" "$presses"

printf '"echo > %s"\n    control+alt + b\n' "$work/started" >"$work/xbindkeysrc"
xbindkeys -n -f "$work/xbindkeysrc" &
peer=$!
echo "xbindkeys $(xbindkeys --version 2>&1 | awk 'NR == 1 { print $2 }') (forks the command itself)"
"$tool" --peer "$work/started" "$presses"
