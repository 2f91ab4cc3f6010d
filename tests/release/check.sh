#!/usr/bin/env bash
# The release zip is the same bytes whoever builds it. The exe that test.sh built and tested in
# build/windows is packed here; the README's release command runs in a second clone at another
# path, with another umask and time zone; both packages must agree byte for byte. Then the zip
# must hold exactly what a user needs, in the form the user guide promises.
set -euo pipefail
# CPack and unzip handle the guide's Chinese name only in a UTF-8 locale.
export LC_ALL=C.UTF-8
trap 'echo "tests/release/check.sh: failed at line $LINENO" >&2' ERR
cd "$(dirname "$0")/../.."
exe=$PWD/build/windows/Tamsory.exe
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config build/windows/CPackConfig.cmake -B "$work/here" >/dev/null

# The same commit, plus whatever is not committed yet, built elsewhere and otherwise.
clone=$work/elsewhere/Tamsory
git clone -q --shared --no-checkout . "$clone"
git -C "$clone" checkout -q --detach "$(git rev-parse HEAD)"
git diff --quiet HEAD || git diff --binary HEAD | git -C "$clone" apply
git ls-files -z --others --exclude-standard | tar -c --null -T - | tar -x -C "$clone"
(cd "$clone" && umask 077 && TZ=CST-8 cmake --workflow --preset release >/dev/null)
there=$clone/build/release

cat "$work/here/SHA256SUMS"
cmp "$work/here/SHA256SUMS" "$there/SHA256SUMS" || { echo "Not reproducible; the clone made:" >&2; cat "$there/SHA256SUMS" >&2; exit 1; }

cd "$there"
unzip -q "Tamsory-$version-win64.zip"
sha256sum --quiet -c SHA256SUMS
folder=Tamsory-$version
[ "$(unzip -Z1 "$folder-win64.zip")" = "$folder/"$'\n'"$folder/Tamsory.exe"$'\n'"$folder/使用说明.txt" ]
cmp "$exe" "$folder/Tamsory.exe"
strings -el "$exe" | grep -x "$version" >/dev/null
guide=$folder/使用说明.txt
[ "$(od -An -tx1 -N3 "$guide")" = " ef bb bf" ]
[ "$(grep -vc $'\r$' "$guide")" = 0 ]
grep -q "$folder" "$guide"
