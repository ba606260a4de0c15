#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each
# for SECONDS (default 60) from a copy of its seed corpus. Any crash, leak or sanitizer report
# fails the run; the input that caused it is left in build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/findings
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in entry columns encoder helptext reader grade; do
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    cp -n fuzz/corpus/$target/* "$corpus/"
    echo "fuzz_$target: $seconds s"
    build/fuzz/bin/fuzz_$target -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/findings/$target- "$corpus" 2>build/fuzz/$target.log \
        || { tail -n 40 build/fuzz/$target.log; echo "fuzz_$target failed"; exit 1; }
    grep -E '^stat::number_of_executed_units' build/fuzz/$target.log || true
done
echo "fuzzing: 6 passed, 0 failed"
