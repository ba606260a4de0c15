#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test: the normal build, the whole suite
# again under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, and a short run of
# each fuzzer (FUZZ_SECONDS each, 60 by default). Every stage runs whatever the one before found;
# the run ends with what each stage counted and one line for the whole run,
# "test.sh: N passed, N failed" (each ctest test and each fuzzer counts one), and exits non-zero
# when anything failed.
cd "$(dirname "$0")"
source tools/setup.sh
need_packages_for build run test

export QT_QPA_PLATFORM=offscreen
set +e   # from here on a failure is counted, not the end of the run
logs=build/test-logs
mkdir -p "$logs"
summary=() all_passed=0 all_failed=0

# STAGE PASSED FAILED [NOTE]: one line of the summary.
count() {
    summary+=("$1: $2 passed, $3 failed${4:+ ($4)}")
    all_passed=$((all_passed + $2))
    all_failed=$((all_failed + $3))
}

# STAGE PRESET: builds the preset and runs its ctest suite, counting from ctest's own summary.
suite() {
    local stage=$1 preset=$2 log=$logs/$2.log
    if ! build_preset "$preset"; then
        local total
        total=$(ctest --preset "$preset" -N 2>/dev/null | sed -n 's/^Total Tests: //p')
        count "$stage" 0 "${total:-1}" "the build failed, no test ran"
        return
    fi
    ctest --preset "$preset" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]} line total failed names skipped
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        count "$stage" 0 1 "ctest gave no summary, see $log"
        return
    fi
    failed=$(sed -E 's/^.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/^.* out of ([0-9]+).*/\1/' <<<"$line")
    names=$(sed -n '/^The following tests FAILED:/,/^[^[:space:]]/s/^[[:space:]]*[0-9]* - \(.*\) (.*)$/\1/p' "$log" | paste -sd ' ')
    skipped=$(sed -n '/^The following tests did not run:/,/^[^[:space:]]/s/^[[:space:]]*[0-9]* - \(.*\) (.*)$/\1/p' "$log" | paste -sd ' ')
    if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
        failed=1 names="ctest ended with status $status"
    fi
    local note=${names:+failed: $names}
    [ -n "$skipped" ] && note+="${note:+; }skipped: $skipped"
    count "$stage" $((total - failed)) "$failed" "$note"
}

suite "default suite" default
suite "sanitizer suite" asan

fuzz/run.sh "${FUZZ_SECONDS:-60}" 2>&1 | tee "$logs/fuzz.log"
line=$(grep -E '^fuzzing: [0-9]+ passed, [0-9]+ failed$' "$logs/fuzz.log" | tail -n 1)
if [ -n "$line" ]; then
    read -r fuzz_passed fuzz_failed < <(sed -E 's/^fuzzing: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/' <<<"$line")
    fuzz_names=$(sed -n 's/^failed: //p' "$logs/fuzz.log" | tail -n 1)
    count "fuzzers" "$fuzz_passed" "$fuzz_failed" "${fuzz_names:+failed: $fuzz_names}"
else
    count "fuzzers" 0 1 "fuzz/run.sh gave no summary, see $logs/fuzz.log"
fi

echo
printf '%s\n' "${summary[@]}"
echo "test.sh: $all_passed passed, $all_failed failed"
[ "$all_failed" -eq 0 ]
