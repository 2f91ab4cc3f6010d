#!/usr/bin/env bash
# Builds Tamsory.exe and starts it: directly on Windows, under Wine elsewhere. Without a
# display it starts a virtual one, saves a screenshot of the main window to build/ and stops.
set -euo pipefail
cd "$(dirname "$0")"

case "$(uname -s)" in
    MINGW* | MSYS* | CYGWIN*)
        cmake --preset windows
        cmake --build --preset windows
        exec build/windows/Tamsory.exe
        ;;
esac

tools/install-deps.sh run
cmake --preset windows >/dev/null
cmake --build --preset windows --target Tamsory -j"$(nproc)"
exe=$PWD/build/windows/Tamsory.exe
# love.dll lives in the working directory: give the program one of its own.
mkdir -p build/run
cd build/run

if [ -n "${DISPLAY:-}" ]; then
    exec ../../tools/wine-run.sh "$exe"
fi

echo "No display: starting Tamsory on a virtual one for a screenshot."
TAMSORY_XVFB=1 ../../tools/desktop.sh bash -c '
    ../../tools/wine-run.sh "$0" & app=$!
    sleep 6
    import -window root ../run-screenshot.png
    wineserver -k 2>/dev/null; wait $app 2>/dev/null || true' "$exe"
echo "Screenshot of the main window: $(cd .. && pwd)/run-screenshot.png"
