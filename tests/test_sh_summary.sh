#!/usr/bin/env bash
# test.sh's summary, with cmake, ctest, dpkg-query and the fuzzers replaced by stand-ins that pass
# or fail as each case says: every stage runs whatever the one before found, the last line counts
# the whole run ("test.sh: N passed, N failed"), the lines before it say which stage failed what,
# and the status is non-zero when anything failed.
# usage: test_sh_summary.sh SOURCE-DIR
set -uo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

mkdir -p "$work/tree/tools" "$work/tree/fuzz" "$work/stubs"
cp "$source_dir/test.sh" "$work/tree/"
cp "$source_dir/tools/setup.sh" "$source_dir/tools/debian-packages" "$work/tree/tools/"
cp "$source_dir/fuzz/run.sh" "$work/tree/fuzz/"
# The fuzzers fuzz/run.sh runs.
read -ra fuzzers < <(sed -n 's/^targets=(\(.*\))$/\1/p' "$source_dir/fuzz/run.sh")
nf=${#fuzzers[@]}
[ "$nf" -gt 1 ] || { echo "FAIL: no targets=(...) list of fuzzers in fuzz/run.sh"; exit 1; }
export FUZZERS="${fuzzers[*]}"
for t in "${fuzzers[@]}"; do
    mkdir -p "$work/tree/fuzz/corpus/$t" && echo seed >"$work/tree/fuzz/corpus/$t/seed"
done

# Every package is installed.
cat >"$work/stubs/dpkg-query" <<'STUB'
#!/bin/sh
shift 2   # -W -f=FORMAT
for p in "$@"; do echo "$p install ok installed"; done
STUB
# cmake --preset P | cmake --build --preset P ...: fails for the presets in BROKEN_BUILD; the fuzz
# build makes fuzzers that fail when named in FAILING_FUZZERS.
cat >"$work/stubs/cmake" <<'STUB'
#!/usr/bin/env bash
[ "$1" = --build ] && shift
preset=$2
case " ${BROKEN_BUILD:-} " in *" $preset "*) echo "stand-in build of $preset failed" >&2; exit 1;; esac
if [ "$preset" = fuzz ]; then
    mkdir -p build/fuzz/bin
    for t in $FUZZERS; do
        case " ${FAILING_FUZZERS:-} " in
            *" $t "*) printf '#!/bin/sh\necho "==1==ERROR: AddressSanitizer" >&2; exit 1\n' ;;
            *) printf '#!/bin/sh\necho "stat::number_of_executed_units: 1000" >&2\n' ;;
        esac >"build/fuzz/bin/fuzz_$t"
        chmod +x "build/fuzz/bin/fuzz_$t"
    done
fi
exit 0
STUB
# ctest --preset P [-N]: four tests, the ones named in FAILING_<P> failing, tst_x_xvfb skipped.
cat >"$work/stubs/ctest" <<'STUB'
#!/usr/bin/env bash
preset=$2
[ "${3:-}" = -N ] && { echo "Total Tests: 4"; exit 0; }
var=FAILING_$preset
failing=" ${!var:-} "
n=0 bad=()
for t in tst_core tst_cli tst_x tst_x_xvfb; do
    n=$((n + 1))
    case "$failing" in
        *" $t "*) echo "$n/4 Test #$n: $t ......***Failed    0.01 sec"; bad+=("$n - $t (Failed)") ;;
        *) echo "$n/4 Test #$n: $t ......   Passed    0.01 sec" ;;
    esac
done
echo
echo "$(( (4 - ${#bad[@]}) * 100 / 4 ))% tests passed, ${#bad[@]} tests failed out of 4"
echo
echo "Total Test time (real) =   0.04 sec"
echo
echo "The following tests did not run:"
echo "	  4 - tst_x_xvfb (Skipped)"
if [ ${#bad[@]} -gt 0 ]; then
    echo
    echo "The following tests FAILED:"
    printf '\t%s\n' "${bad[@]}"
    echo "Errors while running CTest"
    exit 8
fi
STUB
chmod +x "$work/stubs/"*

# CASE EXPECTED-STATUS(0|nonzero) EXPECTED-LAST-LINE [VAR=VALUE...]: runs test.sh in a fresh copy.
check() {
    local name=$1 want_status=$2 want_last=$3
    shift 3
    rm -rf "$work/tree/build"
    local out status
    out=$(cd "$work/tree" && env PATH="$work/stubs:$PATH" FUZZ_SECONDS=1 "$@" ./test.sh 2>&1)
    status=$?
    local last
    last=$(tail -n 1 <<<"$out")
    [ "$last" = "$want_last" ] || fail "$name: last line is '$last', not '$want_last'"
    if [ "$want_status" = 0 ]; then
        [ $status -eq 0 ] || fail "$name: status $status, not 0"
    else
        [ $status -ne 0 ] || fail "$name: status 0 although something failed"
    fi
    # Every stage ran and has its line just before the last.
    local tail4
    tail4=$(tail -n 4 <<<"$out" | head -n 3)
    for stage in "default suite:" "sanitizer suite:" "fuzzers:"; do
        grep -q "^$stage" <<<"$tail4" || fail "$name: no '$stage' line in the summary:"$'\n'"$tail4"
    done
    CASE_OUTPUT=$out
}

check "all pass" 0 "test.sh: $((8 + nf)) passed, 0 failed"
grep -q '^default suite: 4 passed, 0 failed (skipped: tst_x_xvfb)$' <<<"$CASE_OUTPUT" \
    || fail "all pass: a skipped test is not named"

check "a default test fails" nonzero "test.sh: $((7 + nf)) passed, 1 failed" FAILING_default=tst_cli
grep -q '^default suite: 3 passed, 1 failed (failed: tst_cli; skipped: tst_x_xvfb)$' <<<"$CASE_OUTPUT" \
    || fail "a default test fails: the stage line does not name it"

check "sanitizer tests fail" nonzero "test.sh: $((6 + nf)) passed, 2 failed" FAILING_asan="tst_core tst_x"
grep -q '^sanitizer suite: 2 passed, 2 failed (failed: tst_core tst_x; skipped: tst_x_xvfb)$' <<<"$CASE_OUTPUT" \
    || fail "sanitizer tests fail: the stage line does not name them"

check "a fuzzer fails" nonzero "test.sh: $((7 + nf)) passed, 1 failed" FAILING_FUZZERS="${fuzzers[0]}"
grep -q "^fuzzers: $((nf - 1)) passed, 1 failed (failed: fuzz_${fuzzers[0]})\$" <<<"$CASE_OUTPUT" \
    || fail "a fuzzer fails: the stage line does not name it"
grep -q "^fuzz_${fuzzers[nf - 1]}: 1 s\$" <<<"$CASE_OUTPUT" || fail "a fuzzer fails: the fuzzers after it did not run"

check "the sanitizer build fails" nonzero "test.sh: $((4 + nf)) passed, 4 failed" BROKEN_BUILD=asan
check "the fuzz build fails" nonzero "test.sh: 8 passed, $nf failed" BROKEN_BUILD=fuzz
check "everything fails" nonzero "test.sh: 0 passed, $((8 + nf)) failed" BROKEN_BUILD="default asan fuzz"

[ $failed -eq 0 ] || exit 1
echo "1 passed, 0 failed"
