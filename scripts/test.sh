#!/usr/bin/env bash
# Installs what is missing, builds Tarnleaf every way it ships and runs the whole test suite:
#   1. plain build (with benchmarks compiled) and every test, the end-to-end ones included;
#   2. AddressSanitizer + UndefinedBehaviorSanitizer build and every test again;
#   3. the fuzz target under libFuzzer for a bounded number of runs (clang);
#   4. the Windows build under Wine (scripts/test-windows.sh).
# Ends with one summary line "N passed, M failed"; exits non-zero when anything failed.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

scripts/install-deps.sh test || exit 1

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

passed=0
failed=0
stage_failed=()

# run_ctest NAME BUILD_DIR [ctest args...]: runs CTest and adds its counts to the totals.
run_ctest() {
    local name=$1 dir=$2
    shift 2
    local log="$dir/ctest-summary.log"
    ctest --test-dir "$dir" --output-on-failure --timeout 600 "$@" 2>&1 | tee "$log"
    local line total bad
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [[ -z "$line" ]]; then
        echo "== $name: no test summary" >&2
        failed=$((failed + 1))
        stage_failed+=("$name")
        return
    fi
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    ((bad == 0)) || stage_failed+=("$name")
}

# build NAME BUILD_DIR [cmake args...] [-- targets...]
build() {
    local name=$1 dir=$2
    shift 2
    local args=() targets=()
    while (($#)); do
        if [[ $1 == -- ]]; then shift; targets=("$@"); break; fi
        args+=("$1"); shift
    done
    echo "== $name: configure and build ($dir)"
    mkdir -p "$dir"
    if ! cmake -S "$root" -B "$dir" -G Ninja "${args[@]}" >"$dir.configure.log" 2>&1; then
        cat "$dir.configure.log"
        echo "== $name: configure failed" >&2
        return 1
    fi
    if ! cmake --build "$dir" -j "$jobs" ${targets[@]:+--target "${targets[@]}"}; then
        echo "== $name: build failed" >&2
        return 1
    fi
}

mkdir -p build

if build plain build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNLEAF_BENCH=ON; then
    run_ctest plain build/linux
else
    failed=$((failed + 1)); stage_failed+=("plain build")
fi

if build sanitizers build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTARNLEAF_SANITIZE=ON; then
    run_ctest sanitizers build/sanitize
else
    failed=$((failed + 1)); stage_failed+=("sanitizer build")
fi

if build fuzz build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DTARNLEAF_FUZZ=ON -DTARNLEAF_DESKTOP=OFF \
        -- tarnleaf_datagram_fuzzer tarnleaf_protocol_fuzzer; then
    run_ctest fuzz build/fuzz -L fuzz
else
    failed=$((failed + 1)); stage_failed+=("fuzz build")
fi

if [[ -x scripts/test-windows.sh ]]; then
    if scripts/test-windows.sh build/windows; then
        run_ctest windows build/windows
    else
        failed=$((failed + 1)); stage_failed+=("windows build")
    fi
fi

echo
if ((${#stage_failed[@]})); then
    echo "Failed: ${stage_failed[*]}"
fi
echo "tests: $passed passed, $failed failed"
((failed == 0))
