#!/usr/bin/env bash
# Builds Tamsory.exe and starts it under Wine, in build/run/ (where it keeps its love.dll). Without
# a display it starts a virtual one, saves a screenshot of that whole screen, the main window in its
# top-left corner, to build/run-screenshot.png and stops.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh run
# The release preset: the exe that the zip ships, without the tests and their frameworks.
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
exe=$PWD/build/release/Tamsory.exe
# love.dll lives in the working directory: give the program one of its own.
mkdir -p build/run
cd build/run

if [ -n "${DISPLAY:-}" ]; then
    exec ../../tools/wine-run.sh "$exe"
fi

echo "No display: starting Tamsory on a virtual one for a screenshot."
shot=$(cd .. && pwd)/run-screenshot.png
rm -f "$shot"
# The window is up once its picture is: thousands of colours, where the empty desktop has a few.
TAMSORY_XVFB=1 ../../tools/desktop.sh bash -c '
    ../../tools/wine-run.sh "$0" & app=$!
    part=${1%.png}.part.png
    for _ in $(seq 90); do
        sleep 1
        import -window root "$part"
        if [ "$(identify -format %k "$part")" -gt 1000 ]; then
            sleep 1  # the first paint is one go; a moment more for the frame
            import -window root "$1"
            break
        fi
    done
    rm -f "$part"
    wineserver -k 2>/dev/null; wait $app 2>/dev/null || true' "$exe" "$shot"
[ -s "$shot" ] || { echo "run.sh: the main window did not appear within 90 s; no screenshot" >&2; exit 1; }
echo "Screenshot of the virtual screen, the main window in its top-left corner: $shot"
