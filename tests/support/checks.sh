# How the test scripts report: each check prints "ok - WHAT" or "FAIL - WHAT" and the script goes
# on, so one run shows every fault; finish prints the count and fails the script if any check did.
# Sourced.
failures=0

# check WHAT CMD ARGS... : passes when CMD succeeds.
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

# skip WHY : the test cannot run here; ctest reports status 77 as skipped.
skip() {
    echo "skipped: $1"
    exit 77
}

finish() {
    echo "$failures failed"
    [ "$failures" -eq 0 ]
}
