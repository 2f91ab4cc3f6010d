#!/usr/bin/env bash
# Runs a command (the end-to-end driver, under Wine) while answering its requests to make files
# and folders immutable, which a Windows program cannot ask of Linux. Tests run as root, for whom
# chmod changes nothing; chattr +i stops root too. Every flag is cleared afterwards, whatever
# happens short of SIGKILL (and then at the start of the next run), so that the build tree stays
# deletable.
#   chattr-service.sh <work folder> <command> [args...]
# The driver finds the work folder in TAMSORY_FAULTS_DIR (a Windows path) and asks by placing
# chattr.request there, holding "+i PATH" or "-i PATH" with PATH relative to the folder; the
# answer, "ok" or "failed: ...", comes in chattr.reply. Exit code: the command's, or 77 (skipped)
# when chattr +i does not work here.
set -uo pipefail
work=$1
shift

clear_flags() { [ -d "$work" ] && chattr -R -i "$work" 2>/dev/null; }
clear_flags
rm -rf "$work"
mkdir -p "$work"

probe=$work/probe
mkdir "$probe"
if ! chattr +i "$probe" 2>/dev/null || touch "$probe/file" 2>/dev/null; then
    chattr -i "$probe" 2>/dev/null
    echo "skipped: chattr +i does not make a folder read-only here ($(stat -f -c %T "$work") at $work)"
    exit 77
fi
chattr -i "$probe" && rmdir "$probe"

serve() {
    local request=$work/chattr.request op path answer
    while :; do
        if [ -f "$request" ]; then
            read -r op path <"$request"
            rm -f "$request"
            if [[ $op != [+-]i || -z $path || $path == /* || $path == *..* ]]; then
                answer="failed: bad request"
            elif error=$(chattr "$op" -- "$work/$path" 2>&1); then
                answer=ok
            else
                answer="failed: $error"
            fi
            echo "$answer" >"$work/chattr.reply.tmp" && mv "$work/chattr.reply.tmp" "$work/chattr.reply"
        fi
        sleep 0.02
    done
}
serve &
server=$!
cleanup() {
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
    clear_flags
}
trap cleanup EXIT
trap 'exit 143' INT TERM

winpath() { local p; p=$(realpath -m "$1"); printf "Z:%s" "${p//\//\\}"; }
TAMSORY_FAULTS_DIR=$(winpath "$work") "$@"
exit $?
