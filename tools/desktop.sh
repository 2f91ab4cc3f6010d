#!/usr/bin/env bash
# Runs a command with a display for Wine: a private Xvfb when there is no display (or when
# TAMSORY_XVFB=1), and Wine's virtual desktop "Tamsory" so that windows get real frames and
# captions. Stops what it started, by PID, and passes the command's exit code through. When the
# command fails and TAMSORY_FAILURE_SHOT names a file, the screen as the command left it goes there.
# Usage: tools/desktop.sh <command> [args...]     e.g. tools/desktop.sh tools/wine-run.sh app.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"
tamsory_ensure_prefix

xvfb_pid=
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] || [ "${TAMSORY_XVFB:-0}" = 1 ]; then
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
    xvfb_pid=$!
    read -r -t 20 number <"$fifo" || { echo "Xvfb did not start" >&2; exit 1; }
    rm -f "$fifo"
    export DISPLAY=":$number"
    # An X session carries a resource database: Debian's Xsession merges the system's resources
    # (on a colour screen, x11-common's "*customization: -color") into every one. Without one,
    # Xlib looks for ~/.Xdefaults on disk at every lookup of a default, which Wine makes whenever a
    # font is selected into a DC of the screen: hundreds of times for one message box. (-noreset
    # keeps it once xrdb has gone: by default the server starts afresh when its last client leaves.)
    echo '*customization: -color' | xrdb -merge -nocpp -
fi
export TAMSORY_DISPLAY_STARTED=${xvfb_pid:+1}

# Every Windows program of this prefix opens inside one virtual desktop of the display's size.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Tamsory /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Tamsory /t REG_SZ /d 1024x768 /f >/dev/null 2>&1

set +e
"$@"
code=$?
[ $code -ne 0 ] && [ -n "${TAMSORY_FAILURE_SHOT:-}" ] && import -window root "$TAMSORY_FAILURE_SHOT"
set -e
# The prefix's Wine processes (the desktop among them) must not outlive our display.
if [ -n "$xvfb_pid" ]; then wineserver -k 2>/dev/null || true; fi
exit $code
