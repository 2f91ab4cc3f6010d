#!/usr/bin/env bash
# The release zip is the same bytes whoever builds it. The exe that test.sh built and tested in
# build/windows is packed here; the README's release command runs in a second clone at another
# path, with another umask and time zone; both packages must agree byte for byte. Then the zip
# must hold exactly what a user needs, in the form the user guide promises, and notices for exactly
# the code of others that the link put into the exe. A throwaway certificate signs it, and its
# signature attached in the second clone gives the signed release again. Last, releases that must
# fail do, and leave nothing to publish.
set -euo pipefail
# CPack and unzip handle the guide's Chinese name only in a UTF-8 locale.
export LC_ALL=C.UTF-8
trap 'echo "tests/release/check.sh: failed at line $LINENO" >&2' ERR
# A release manager's own certificate or signature must not reach these releases.
unset "${!TAMSORY_SIGN_@}" TAMSORY_ATTACH_SIGNATURE
cd -P "$(dirname "$0")/../.."
exe=$PWD/build/windows/Tamsory.exe
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
folder=Tamsory-$version
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Root after a plain su runs this in a clone that another user owns, which git refuses unless told
# that it is safe; it is, for this script came from it. (Not by -c: a local clone drops that.)
git config --file "$work/gitconfig" --add safe.directory "$PWD"
git config --file "$work/gitconfig" --add safe.directory "$PWD/.git"
export GIT_CONFIG_GLOBAL=$work/gitconfig

cpack --config build/windows/CPackConfig.cmake -B "$work/here" >/dev/null

# The same commit, plus whatever is not committed yet, built elsewhere and otherwise.
clone=$work/elsewhere/Tamsory
git clone -q --shared --no-checkout "$PWD" "$clone"
git -C "$clone" checkout -q --detach "$(git rev-parse HEAD)"
git diff --quiet HEAD || git diff --binary HEAD | git -C "$clone" apply
git ls-files -z --others --exclude-standard | tar -c --null -T - | tar -x -C "$clone"
(cd "$clone" && umask 077 && TZ=CST-8 cmake --workflow --preset release >/dev/null)
there=$clone/build/release

cat "$work/here/SHA256SUMS"
cmp "$work/here/SHA256SUMS" "$there/SHA256SUMS" || { echo "Not reproducible; the clone made:" >&2; cat "$there/SHA256SUMS" >&2; exit 1; }

cd "$there"
unzip -q "$folder-win64.zip"
sha256sum --quiet -c SHA256SUMS
[ "$(unzip -Z1 "$folder-win64.zip" | sed "s|^$folder/||" | tr '\n' ' ')" = " THIRD-PARTY-NOTICES.txt Tamsory.exe 使用说明.txt " ]
strings -el "$exe" | grep -x "$version" >/dev/null
guide=$folder/使用说明.txt notices=$folder/THIRD-PARTY-NOTICES.txt
for text in "$guide" "$notices"; do
    [ "$(od -An -tx1 -N3 "$text")" = " ef bb bf" ] || { echo "$text: no byte-order mark" >&2; exit 1; }
    [ "$(grep -vc $'\r$' "$text")" = 0 ] || { echo "$text: lines not ended by CR LF" >&2; exit 1; }
done
grep -q "$folder" "$guide"

# The notices have a section for each part of others' code in the exe, and for nothing else. The
# link map names the archives and objects that gave the exe code. Members that only bind it to a
# DLL (those with .idata sections: kernel32, user32, gdi32, msvcrt, ...) are Windows itself and need
# no section; the build's own archives (relative paths) are ours. stb is a header: the sources'
# include of stb_image.h stands for it.
linked=$( (awk '/^Linker script and memory map/ {m = 1}
    m && NF == 1 && /^ [^ ]/ {section = $1; next}
    m && $NF ~ /^\/.*\.[ao]\)?$/ && $(NF - 1) ~ /^0x/ && $(NF - 1) != "0x0" {
        if (NF == 4) section = $1
        if (section ~ /^\.idata/) stub[$NF] = 1; else code[$NF] = 1 }
    END {for (o in code) if (!(o in stub)) {sub(/\(.*/, "", o); while (sub(/[^\/]+\/\.\.\//, "", o)); print o}}' Tamsory.map
    grep -rhoE '#include [<"]stb_[a-z_]+\.h' "$clone/core" "$clone/ui" | sed 's|.*[<"]|*/|' || true) | sort -u)
listed=$(tr -d '\r' <"$notices" | sed -n 's/^Built from: //p' | tr ' ' '\n' | sort -u)
status=0
for file in $(comm -13 <(sed 's|.*/||' <<<"$linked" | sort -u) <(echo "$listed")); do
    echo "$notices: $file has a section, but is not built into Tamsory.exe" >&2 && status=1
done
while read -r path; do
    grep -qxF "${path##*/}" <<<"$listed" || { status=1
        echo "$notices: no section for ${path##*/} ($(dpkg-query -S "$path" | cut -d: -f1)), which is built into Tamsory.exe" >&2; }
done <<<"$linked"
# Each package's copyright file is there whole (grep finds none of its lines missing, and can read
# it), and so are the notices from libstdc++'s headers.
for package in $(tr -d '\r' <"$notices" | sed -n 's/^Debian package: \([^ ]*\) .*/\1/p' | sort -u); do
    tr -d '\r' <"$notices" | grep -vxqF -f - "/usr/share/doc/$package/copyright" && whole=0 || whole=$?
    [ $whole = 1 ] || { echo "$notices: $package's copyright file is not there whole" >&2; status=1; }
done
grep -q "Silicon Graphics makes no" "$notices" || { echo "$notices: no notices of libstdc++'s headers" >&2; status=1; }
[ $status = 0 ]
cd - >/dev/null

# Signed with a throwaway certificate, the exe verifies, SHA256SUMS holds it as shipped, and
# stripped of its signature it is the tested exe again. The password is found nowhere. A wrong
# password: one clear line, and no zip or SHA256SUMS left from the signed run before it.
password="the password $RANDOM$RANDOM"
echo "$password" >"$work/password" && echo wrong >"$work/wrong"
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=Tamsory-check -days 1 -addext extendedKeyUsage=codeSigning \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/password" -out "$work/cert.p12"
sign() { TAMSORY_SIGN_PKCS12=$work/cert.p12 TAMSORY_SIGN_PASSWORD_FILE=$1 cpack --config build/windows/CPackConfig.cmake -B "$work/signed"; }
sign "$work/password" >"$work/signed.log"
(cd "$work/signed" && unzip -q "$folder-win64.zip" && sha256sum --quiet -c SHA256SUMS)
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/$folder/Tamsory.exe" | grep '^Message digest algorithm *: SHA256' >/dev/null
osslsigncode remove-signature -in "$work/signed/$folder/Tamsory.exe" -out "$work/stripped.exe" >/dev/null
cmp "$work/stripped.exe" "$exe"
grep -rqF "$password" "$work/signed" "$work/signed.log" build/windows/CMakeCache.txt && found=0 || found=$?
[ $found = 1 ] || { echo "the password is in the release, or the release is not there" >&2; exit 1; }
cp -r "$work/signed" "$work/published"
if sign "$work/wrong" >"$work/wrong.log" 2>&1; then echo "signed with a wrong password" >&2; exit 1; fi
grep -q "Tamsory.exe not signed, no release made: .*PKCS#12.*password" "$work/wrong.log"
ls "$work/signed" | grep -E '\.zip$|^SHA256SUMS$|\.sig$' && { echo "the failed release left the signed one's files" >&2; exit 1; }

# The published signature alone, attached in the second clone, makes the signed release again.
(cd "$clone" && TAMSORY_ATTACH_SIGNATURE=$work/published/Tamsory.exe.sig cpack --preset release >/dev/null)
for file in "$folder-win64.zip" SHA256SUMS Tamsory.exe.sig; do cmp "$work/published/$file" "$there/$file"; done

# After a good release in the clone, BREAK; then the release command must fail, saying each line of
# WHY, and leave nothing in build/release/ that could be published.
refused() {
    local why=$1 break=$2 line
    shift 2
    (cd "$clone" && cpack --preset release >/dev/null && eval "$break")
    if (cd "$clone" && "$@") >"$work/refused.log" 2>&1; then echo "released after: $break" >&2; exit 1; fi
    while read -r line; do
        grep -qF "$line" "$work/refused.log" || { echo "no line saying $line" >&2; cat "$work/refused.log" >&2; exit 1; }
    done <<<"$why"
    ls "$there" | grep -E '\.zip$|^SHA256SUMS$|\.sig$' && { echo "failed, but left files to publish: $break" >&2; exit 1; }
    return 0
}
# The signature of an exe one byte away from this one.
sed 's/DOS mode/DOX mode/' "$exe" >"$work/other.exe"
osslsigncode sign -pkcs12 "$work/cert.p12" -readpass "$work/password" -in "$work/other.exe" -out "$work/other-signed.exe" >/dev/null
osslsigncode extract-signature -in "$work/other-signed.exe" -out "$work/other.sig" >/dev/null
refused "is the signature of another exe" true env TAMSORY_ATTACH_SIGNATURE="$work/other.sig" cpack --preset release
# A DLL that is no KnownDLL, and a function that Windows 7 lacks, planted in the built exe.
cp "$there/Tamsory.exe" "$work/built.exe"
refused $'PLANTABLE userxx.dll\nNOT REVIEWED kernel32.dll GetModuleHandleX' \
    "perl -pi -e 's/USER32\.dll\0/USERXX.dll\0/; s/GetModuleHandleW\0/GetModuleHandleX\0/' $there/Tamsory.exe" \
    cmake --workflow --preset release
cp "$work/built.exe" "$there/Tamsory.exe"
# A failure after cpack has written the zip.
refused "no commit to date it from" "mv .git ../git" cpack --preset release
mv "$clone/../git" "$clone/.git"
refused "planted" "echo '#error planted' >>core/verdicts.cpp" cmake --workflow --preset release
