# The session of an end-to-end test: sourced with the paths of kestrelle, the capture tool and the
# window-closing helper as $1..$3, on a display that tests/support/with-display provides.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../support/drive-kestrelle.sh"

kestrelle=$1 real_tool=$2 close_window_tool=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrelle-e2e.XXXXXX")
export XDG_CONFIG_HOME=$work/config
# File names are built from the time in the user's locale and zone: pin both, to a zone that is not UTC.
export LC_ALL=C.UTF-8 TZ=America/Denver
# No session bus: Qt then docks into the XEmbed tray host rather than looking for a D-Bus one.
unset DBUS_SESSION_BUS_ADDRESS
settings=$XDG_CONFIG_HOME/Kestrelle/Kestrelle.conf
log=$work/kestrelle.log starts=$work/starts kestrelle_pid= tray_host_pid=
trap 'end_session $?' EXIT
