#!/usr/bin/env bash
# Installs what is missing, checks the formatting of every C++ file, then builds
# and runs the whole test suite three times: a plain optimised build,
# AddressSanitizer with UndefinedBehaviorSanitizer, and ThreadSanitizer over the
# tests labelled "threaded".
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1

passed=0
failed=0
echo "=== format"
if ! bash scripts/check-format.sh; then
    failed=$((failed + 1))
fi
run_suite() {
    local preset="$1"
    shift
    echo "=== ${preset}: build"
    if ! bash scripts/build.sh "$preset"; then
        echo "=== ${preset}: build failed"
        failed=$((failed + 1))
        return
    fi
    echo "=== ${preset}: tests"
    local dir=build log
    [ "$preset" = default ] || dir="build-$preset"
    log=$(mktemp)
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" "$@" | tee "$log"
    local total bad
    total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
    bad=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -1)
    [ -n "$total" ] || { total=0; bad=1; }
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    rm -f "$log"
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

run_suite default
run_suite asan
run_suite tsan -L threaded

echo "${passed} passed, ${failed} failed"
[ "$failed" -eq 0 ]
