# What the shell tests share that knows nothing of Kestrelle. Sourced.

# Seconds any one wait may take; generous, because a loaded 2-core machine is slow to map windows.
: "${KESTRELLE_WAIT:=30}"

# wait_for WHAT CMD ARGS...
wait_for() {
    local deadline=$((SECONDS + KESTRELLE_WAIT))
    until "${@:2}"; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "timed out after ${KESTRELLE_WAIT}s waiting for $1" >&2 && return 1; }
        sleep 0.05
    done
}

process_gone() { [ ! -e "/proc/$1" ] || [ "$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)" = Z ]; }

stop_pids() {
    local pid
    for pid in "$@"; do kill "$pid" 2>/dev/null || true; done
    for pid in "$@"; do wait "$pid" 2>/dev/null || true; done
}

children() { ps -o pid=,stat=,comm= --ppid "$1" || true; }
no_children() { [ -z "$(children "$1")" ]; }

# start_xvfb WxHxD LOG : sets DISPLAY and xvfb_pid once the server answers. -noreset: else a desktop
# set up by short-lived clients, a root background say, is gone before the next one looks.
start_xvfb() {
    local number
    mkfifo "$2.displayfd"
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$2.displayfd" >"$2" 2>&1 &
    xvfb_pid=$!
    read -r -t 10 number <"$2.displayfd" || return 1
    export DISPLAY=":$number"
    display_answers() { xdpyinfo >/dev/null 2>&1; }
    wait_for "display $DISPLAY to answer" display_answers
}

screen_size() { xdpyinfo | awk '/dimensions:/ { print $2 }'; }

# start_tray_host WORK : ready once trayer owns the tray selection, not when its window appears.
start_tray_host() {
    cc -O1 -o "$1/selection-owner" "$(dirname "${BASH_SOURCE[0]}")/selection-owner.c" -lxcb || return 1
    trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel --height 32 \
        --SetDockType true --transparent false --tint 0x888888 >/dev/null 2>&1 &
    tray_host_pid=$!
    wait_for "trayer to own the system tray selection" "$1/selection-owner" _NET_SYSTEM_TRAY_S0
}

mounts=()
mount_read_only() { mount --bind "$1" "$1" && mounts+=("$1") && mount -o remount,ro,bind "$1"; }
mount_tmpfs() { mount -t tmpfs -o "size=$2" tmpfs "$1" && mounts+=("$1"); }
unmount_all() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[$i]}" 2>/dev/null || true; done
    mounts=()
}
