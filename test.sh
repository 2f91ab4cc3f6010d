#!/usr/bin/env bash
# Builds the program, its tests and the release (the benchmarks are ./bench.sh's) and runs every
# test: the core and the window handlers natively (with AddressSanitizer and
# UndefinedBehaviorSanitizer); in the Windows build, the core and the handlers again as Windows code
# under Wine, and the end-to-end tests of the real Tamsory.exe under Wine; the release: the tested exe
# packed, its imports checked, the zip rebuilt elsewhere to the same bytes, signed with a throwaway
# certificate, that signature attached to the rebuild, and failed releases that leave nothing; and a
# bounded fuzzing run of the love.dll reader and writer.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh test

jobs=$(nproc)
werror=()
[ "${CI:-}" = true ] && werror=(-DTAMSORY_WERROR=ON)

echo "== Native: core and window handlers"
cmake --preset native "${werror[@]}" >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

echo "== Windows: core and handlers under Wine, Tamsory.exe end to end under Wine"
cmake --preset windows "${werror[@]}" >/dev/null
cmake --build --preset windows -j"$jobs"
ctest --preset windows -j"$jobs"

echo "== The release zip: built again in a second clone, byte for byte the same; signed, and rebuilt with that signature"
tests/release/check.sh

echo "== Fuzzing the love.dll reader and writer"
tools/fuzz.sh "${TAMSORY_FUZZ_SECONDS:-60}"
echo "All tests passed."
