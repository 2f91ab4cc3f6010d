#!/usr/bin/env bash
# What Tamsory.exe imports, held against two lists. The release runs it on the exe it is about to
# pack and refuses to pack when it fails.
# - DLL planting: a DLL that the exe imports directly is loaded before wWinMain can restrict the
#   search path, so each must be a KnownDLL: one that Windows only ever loads from the system folder.
#   The list below holds the KnownDLLs of Windows 7 that every later Windows kept (combase and
#   comctl32 are none: Windows 7 has no combase among them, and no Windows has comctl32, which
#   reaches the exe only through the manifest's side-by-side assembly).
# - Windows 7: each imported function must be one that windows7-imports.txt lists, where every
#   name was looked up and found in Windows 7. A new one, from our code or from another toolchain,
#   fails here until someone has looked up its minimum Windows version.
# Usage: check-imports.sh OBJDUMP EXE
set -euo pipefail
export LC_ALL=C
known=" advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi ole32 oleaut32 "
known+="psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32 "
list=$(dirname "$0")/windows7-imports.txt
# "dll function", a line each, from objdump's import tables: under each DLL's name, a line a function
# that starts with its address and ends with its name (binutils 2.44 puts ordinal and hint between).
imports=$("$1" -p "$2" | tr -d '\r' | awk '/^[^\t ]/ {dll = ""} /DLL Name:/ {dll = tolower($3)}
                                           dll && /^\t[0-9a-f]+[\t ]/ {print dll, $NF}' | sort -u)
if [ -z "$imports" ]; then
    echo "no imports found in $2" >&2
    exit 1
fi
status=0
for dll in $(cut -d' ' -f1 <<<"$imports" | uniq); do
    if [[ $known == *" ${dll%.dll} "* ]]; then
        echo "ok $dll"
    else
        echo "PLANTABLE $dll: not a KnownDLL, so it could be loaded from the program's folder" >&2
        status=1
    fi
done
while read -r import; do
    echo "NOT REVIEWED $import: if Windows 7 has it (look up its minimum version), add it to $list" >&2
    status=1
done < <(comm -23 <(echo "$imports") <(grep -v '^#' "$list" | sort -u))
exit $status
