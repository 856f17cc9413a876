#!/usr/bin/env bash
# Times global shortcuts on a private Xvfb display: from the key press, sent as real X input, to the
# bound action running in Kestrelle's binder. Prints the median of PRESSES presses.
#   bench/shortcuts.sh [PRESSES]     (default 50, after 5 warm-up presses)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
tool=${SHORTCUT_LATENCY:-$top/build/bin/shortcut-latency}
[ -x "$tool" ] || { echo "build first: $tool is missing" >&2; exit 1; }
exec "$top/tests/support/with-display" -- "$tool" "${1:-50}"
