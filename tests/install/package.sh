#!/usr/bin/env bash
# The Debian package built from the build tree, installed into this machine with apt, run once on a
# display with a tray host and removed, which must leave /usr exactly as it was.
#   package.sh BUILD_TREE VERSION
set -euo pipefail
build=$1 version=$2
source "$(dirname "$0")/../support/checks.sh"
source "$(dirname "$0")/../support/drive-kestrelle.sh"
[ "$(id -u)" -eq 0 ] || skip "this test installs a package into the machine, so it runs as root only"
package_gone() { ! dpkg-query -W -f='${Status}' kestrelle 2>/dev/null | grep -q 'ok installed'; }
package_gone || skip "a kestrelle package is installed already; this test would replace and remove it"

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrelle-package.XXXXXX")
chmod 755 "$work" # apt reads the package file as its own unprivileged user
installed=false
trap '! $installed || apt-get remove -y -q kestrelle >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
# Every path under /usr; compiled Python caches come and go with whatever else runs meanwhile.
list_usr() { find /usr -xdev -not -path '*/__pycache__*' | LC_ALL=C sort; }
run_logged() { "${@:2}" >"$1" 2>&1 || { echo "FAIL - ${*:2} failed:" && sed 's/^/  /' "$1" && return 1; }; }

run_logged "$work/cpack.log" cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package"
deb=$(echo "$work"/package/kestrelle_"$version"_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
check "its dependencies name the libraries the binaries link (Qt, libc) and what they start (xdg-utils)" \
    eval '[[ $depends == *libqt6widgets6* && $depends == *libc6* && $depends == *xdg-utils* ]]'
# Libraries loaded by name at run time leave no trace in the link, so the package must name them. The
# libraries a binary links are named in it too; shlibdeps covers those.
dpkg-deb -x "$deb" "$work/unpacked"
binaries=("$work"/unpacked/usr/bin/* "$work"/unpacked/usr/libexec/kestrelle/*)
relations=", $depends, $(dpkg-deb -f "$deb" Recommends),"
expect "every library a binary loads by name is in Depends or Recommends" "" "$(
    for soname in $(comm -23 <(strings -a "${binaries[@]}" | grep -oE 'lib[A-Za-z0-9_+-]+\.so\.[0-9]+' | sort -u) \
        <(objdump -p "${binaries[@]}" | awk '$1 == "NEEDED" { print $2 }' | sort -u)); do
        package=$(dpkg -S "*/$soname" 2>/dev/null | grep -v '^diversion' | head -n 1 | cut -d: -f1)
        [[ -n $package && ($relations == *", $package "* || $relations == *", $package,"*) ]] || echo "$soname (${package:-no package})"
    done)"

# scripts/deps installs all the package needs, so apt must install it alone, from no network; without
# Recommends, which apt remove would keep.
export DEBIAN_FRONTEND=noninteractive
others=$(apt-get install -s --no-install-recommends "$deb" 2>/dev/null | awk '$1 == "Inst" && $2 != "kestrelle" { print $2 }')
[ -z "$others" ] || { echo "FAIL - installing the package would also install" $others "(is every dependency in scripts/deps?)" && exit 1; }
list_usr >"$work/before"
installed=true
run_logged "$work/install.log" apt install -y -q --no-install-recommends "$deb"

dpkg -L kestrelle | LC_ALL=C sort >"$work/files"
metainfo=$(grep '^/usr/share/metainfo/.*\.metainfo\.xml$' "$work/files" || true)
id=$(basename "$metainfo" .metainfo.xml)
sizes=(16 22 24 32 48 64 128 256)
icon() { echo "/usr/share/icons/hicolor/$1x$1/apps/$id.png"; }
missing=$(for path in /usr/bin/kestrelle /usr/libexec/kestrelle/screencapture "/usr/share/applications/$id.desktop" \
    "/usr/share/kestrelle/$id.desktop" "/usr/share/icons/hicolor/scalable/apps/$id.svg" \
    /usr/share/man/man1/kestrelle.1.gz /usr/share/man/man1/kestrelle-screencapture.1.gz \
    $(for size in "${sizes[@]}"; do icon "$size"; done); do
    grep -qxF "$path" "$work/files" && [ -e "$path" ] || echo "$path"
done)
expect "dpkg -L lists the metainfo file and, under its id ($id), the menu entry, the icons, the autostart entry; the programs and their manual pages" \
    "" "$missing"
expect "every icon PNG is as large as its folder says" "$(for size in "${sizes[@]}"; do echo "PNG ${size}x$size"; done)" \
    "$(for size in "${sizes[@]}"; do identify -format '%m %wx%h\n' "$(icon "$size")"; done)"
check "desktop-file-validate accepts the menu entry and the autostart entry" run_logged "$work/desktop.log" \
    desktop-file-validate "/usr/share/applications/$id.desktop" "/usr/share/kestrelle/$id.desktop"
check "appstreamcli validate --no-net accepts the metainfo" \
    run_logged "$work/appstream.log" appstreamcli validate --no-net "$metainfo"
check "the menu entry's Icon is the installed icon's name" grep -qxF "Icon=$id" "/usr/share/applications/$id.desktop"
expect "man finds both manual pages, and they render without warnings" \
    "/usr/share/man/man1/kestrelle.1.gz /usr/share/man/man1/kestrelle-screencapture.1.gz " \
    "$(man -w kestrelle kestrelle-screencapture | tr '\n' ' ')$(MANWIDTH=80 man --warnings kestrelle kestrelle-screencapture 2>&1 >/dev/null)"

# The program as the menu entry starts it: the entry's own Exec line (the first; its actions have
# theirs), found on the command path.
exec_line=$(sed -n 's/^Exec=//p' "/usr/share/applications/$id.desktop" | head -n 1)
env -u DBUS_SESSION_BUS_ADDRESS PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/config" $exec_line &
pid=$!
wait_for_icon
wait_for "the first start to write the settings file" test -s "$work/config/Kestrelle/Kestrelle.conf"
kill -TERM "$pid"
check "the installed program, started as the menu entry says, docks in the tray, writes its settings and quits on SIGTERM" \
    wait "$pid"

run_logged "$work/remove.log" apt remove -y -q kestrelle
installed=false
check "apt removes the package" package_gone
list_usr >"$work/after"
check "/usr holds exactly what it held before the install" diff "$work/before" "$work/after"
finish
