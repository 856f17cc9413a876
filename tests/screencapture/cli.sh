#!/usr/bin/env bash
# The command line: misuse gives one usage line and status 2; --help; no display.
source "$(dirname "$0")/lib.sh"

misuse() {
    local status=0 err
    err=$("$tool" "$@" 2>&1 >/dev/null) || status=$?
    [ "$status" -eq 2 ] && [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] && [[ $err == *"usage: screencapture"* ]]
}
check "unknown option" misuse -q "$work/a.png"
check "no file" misuse
check "no file, options only" misuse -x -P
check "two files" misuse "$work/a.png" "$work/b.png"
check "-c with a file" misuse -c "$work/a.png"
check "-c with -P" misuse -c -P
check "nothing written on misuse" test -z "$(ls -A "$work")"

help=$("$tool" --help) && status=0 || status=$?
check "--help exits 0 with the usage on stdout" test "$status" -eq 0 -a -n "$help"
check "--help names every option" grep -q -- '-c.*-P.*-x' <<<"$help"

no_display() {
    local status=0 err
    err=$(DISPLAY=$1 "$tool" -x "$work/a.png" 2>&1) || status=$?
    [ "$status" -eq 1 ] && [[ $err == screencapture:* ]] && [ ! -e "$work/a.png" ]
}
check "unset DISPLAY: message and status 1" no_display ""
check "unreachable display: message and status 1" no_display ":4095"
finish
