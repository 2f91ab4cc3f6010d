#!/usr/bin/env bash
# Runs a Windows executable under the project's Wine prefix; exit codes pass through.
# CMake uses it as the cross-compiling emulator, so ctest runs Windows tests transparently.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
tamsory_ensure_prefix
exec wine "$@"
