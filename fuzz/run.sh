#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each
# for SECONDS (default 60) from a copy of its seed corpus. Any crash, leak or sanitizer report
# fails that fuzzer; the input that caused it is left in build/fuzz/findings/. Every fuzzer runs
# whatever the others found, and the last line counts them: "fuzzing: N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
seconds=${1:-60}
targets=(entry columns lists encoder helptext reader grade sheets)
if ! build_preset fuzz; then
    echo "the fuzzers did not build"
    echo "fuzzing: 0 passed, ${#targets[@]} failed"
    exit 1
fi
mkdir -p build/fuzz/findings
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
passed=0 failed=()
for target in "${targets[@]}"; do
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    cp -n fuzz/corpus/"$target"/* "$corpus/"
    echo "fuzz_$target: $seconds s"
    if build/fuzz/bin/fuzz_"$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
            -artifact_prefix=build/fuzz/findings/"$target"- "$corpus" 2>build/fuzz/"$target".log; then
        grep -E '^stat::number_of_executed_units' build/fuzz/"$target".log || true
        passed=$((passed + 1))
    else
        tail -n 40 build/fuzz/"$target".log
        echo "fuzz_$target failed (its log: build/fuzz/$target.log)"
        failed+=("fuzz_$target")
    fi
done
[ ${#failed[@]} -eq 0 ] || echo "failed: ${failed[*]}"
echo "fuzzing: $passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
