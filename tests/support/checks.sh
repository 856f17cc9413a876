# A failed check does not stop the script, so one run shows every fault; finish fails it. Sourced.
failures=0

# check WHAT CMD ARGS...
check() {
    if "${@:2}"; then
        echo "ok - $1"
    else
        echo "FAIL - $1"
        failures=$((failures + 1))
    fi
}

# expect WHAT EXPECTED SEEN
expect() {
    if [ "$2" = "$3" ]; then
        echo "ok - $1"
    else
        printf 'FAIL - %s\n  expected: %s\n  saw:      %s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

# ctest reports status 77 as skipped.
skip() {
    echo "skipped: $1"
    exit 77
}

finish() {
    echo "$failures failed"
    [ "$failures" -eq 0 ]
}
