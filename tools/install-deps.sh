#!/usr/bin/env bash
# Installs what building, running and testing need, from Debian's packages, when missing.
# Usage: tools/install-deps.sh [run|test|bench|release]   (default: test)
set -euo pipefail
what=${1:-test}

packages=(cmake make g++ pkg-config g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
          libstb-dev wine wine64 xvfb xauth x11-xserver-utils imagemagick fonts-wqy-zenhei fonts-arphic-uming fonts-wine locales)
case "$what" in
    test) packages+=(libgtest-dev googletest clang libclang-rt-14-dev git unzip strip-nondeterminism) ;;
    bench) packages+=(libgtest-dev googletest libbenchmark-dev) ;;
    release) packages+=(git strip-nondeterminism) ;;
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
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    $sudo sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi
