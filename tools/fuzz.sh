#!/usr/bin/env bash
# Builds the fuzz preset and runs the libFuzzer target, the love.dll reader and writer, for a
# bounded time:
#   tools/fuzz.sh [SECONDS]      default 60
# Run it with a larger budget by hand for a deeper search. Exits non-zero when a target finds a
# crash, a hang, a leak or a broken invariant; the input that did it is kept in build/fuzz/findings.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
total=${1:-60}
if ! [[ $total =~ ^[0-9]+$ ]] || ((total < 2)); then
    echo "usage: $0 [seconds, at least 2]" >&2
    exit 2
fi
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target fuzz_core >/dev/null

# run TARGET SECONDS [libFuzzer options...]
run() {
    local target=$1 seconds=$2
    shift 2
    local corpus=build/fuzz/corpus/$target findings=build/fuzz/findings/$target log=build/fuzz/$target.log
    local seeds=()
    [[ -d tests/fuzz/seeds/$target ]] && seeds=("tests/fuzz/seeds/$target")
    mkdir -p "$corpus" "$findings"
    # The first folder gathers the corpus across runs; the seeds are only read.
    if ! "build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$@" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz: $target found a problem: see $log and $findings/" >&2
        return 1
    fi
    local executions
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $target: ${executions:-?} executions in $seconds s, nothing found"
}

run fuzz_core "$total" -dict=tests/fuzz/love_dll.dict -max_len=8192
