#!/usr/bin/env bash
# DLL planting: a DLL that the exe imports directly is loaded before wWinMain can restrict the
# search path, so every import must be one that Windows only ever loads from the system folder
# (a KnownDLL). Common Controls 6 arrives through the manifest's side-by-side assembly.
# Usage: check-imports.sh OBJDUMP EXE
set -euo pipefail
known=" kernel32.dll user32.dll gdi32.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll advapi32.dll
        comdlg32.dll msvcrt.dll rpcrt4.dll sechost.dll combase.dll imm32.dll msctf.dll ws2_32.dll nsi.dll
        psapi.dll setupapi.dll wldap32.dll normaliz.dll clbcatq.dll imagehlp.dll difxapi.dll comctl32.dll "
imports=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')
[ -n "$imports" ] || { echo "no imports found in $2" >&2; exit 1; }
status=0
for dll in $imports; do
    [[ "$known" == *" $dll "* ]] && echo "ok       $dll" ||
        { echo "PLANTABLE $dll: not a KnownDLL, so it could be loaded from the program's folder" >&2; status=1; }
done
exit $status
