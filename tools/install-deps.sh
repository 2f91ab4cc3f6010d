#!/usr/bin/env bash
# Installs what building, running and testing need, from Debian's packages, when missing. Debian 13
# and 12 are both served: every name here is one that both releases have, none pinned to a version.
# Usage: tools/install-deps.sh [run|test|bench|release]   (default: test)
set -euo pipefail
what=${1:-test}
# A plain `su` keeps the caller's PATH, which lacks the sbin folders: locale-gen lives there.
PATH=$PATH:/usr/local/sbin:/usr/sbin:/sbin

build=(cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libstb-dev)
wine=(wine wine64 xvfb xauth x11-xserver-utils imagemagick fonts-wqy-zenhei fonts-arphic-uming fonts-wine locales)
case "$what" in
    run) packages=("${build[@]}" "${wine[@]}") ;;
    # clang's runtime (libclang-rt-dev) holds libFuzzer and the sanitizers; openssl makes the
    # release check's throwaway certificate.
    test) packages=("${build[@]}" "${wine[@]}" g++ libgtest-dev googletest clang libclang-rt-dev
                    git unzip strip-nondeterminism osslsigncode openssl) ;;
    bench) packages=("${build[@]}" "${wine[@]}" g++ libgtest-dev googletest libbenchmark-dev) ;;
    # The zip: the exe, and dpkg's own records for the notices; osslsigncode signs it when asked.
    release) packages=("${build[@]}" git strip-nondeterminism osslsigncode) ;;
    *) echo "usage: $0 [run|test|bench|release]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    # A mirror's hiccup is retried, not taken for a failure.
    $sudo apt-get -o Acquire::Retries=3 update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o Acquire::Retries=3 install -y -q --no-install-recommends "${missing[@]}"
fi

# The Chinese locale gives Wine the code page 936 and Chinese system texts.
if [ "$what" != release ] && ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    $sudo sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi
