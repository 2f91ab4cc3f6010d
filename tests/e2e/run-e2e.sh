#!/usr/bin/env bash
# Runs one suite of the end-to-end driver on a private display under Wine, then turns its
# screenshots into PNGs. Exit code: the driver's.
# Usage: run-e2e.sh <e2e_driver.exe> <Tamsory.exe> <artifacts folder> <suite> [case]
set -uo pipefail
driver=$1 exe=$2 artifacts=$3 suite=$4
shift 4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# The driver is a Windows program: give it Windows paths, through Wine's drive Z: (the root).
winpath() { local p; p=$(realpath -m "$1"); printf "Z:%s" "${p//\//\\}"; }

rm -rf "$artifacts"
mkdir -p "$artifacts"
TAMSORY_XVFB=${TAMSORY_XVFB:-1} "$root/tools/desktop.sh" "$root/tools/wine-run.sh" \
    "$driver" "$(winpath "$exe")" "$(winpath "$artifacts")" "$suite" "$@"
code=$?
for bmp in "$artifacts"/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "screenshots: $artifacts"
exit $code
