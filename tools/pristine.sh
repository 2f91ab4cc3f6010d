#!/usr/bin/env bash
# Runs commands in a clone of the current commit on a bare Debian 12, as a newcomer has it: a
# root made by `debootstrap --variant=minbase bookworm` with git, ca-certificates and sudo and
# nothing else, and a user who may sudo. The machines we work on come with compilers, test
# frameworks and Wine already installed, which hides a missing install step; this does not.
#   tools/pristine.sh COMMAND...    each argument is one shell command, run in order in the clone;
#                                   the first that fails ends the run with its exit code
#   e.g. tools/pristine.sh ./run.sh ./test.sh
# Only committed work is cloned. Needs root (or sudo) and Debian's mirror
# (TAMSORY_DEBIAN_MIRROR, default http://deb.debian.org/debian). The root is made afresh in
# /var/tmp and removed afterwards. What it mounts lives in a mount namespace of its own, so it is
# gone however the run ends, and every process started inside ends with it.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND..." >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env=CI,TAMSORY_DEBIAN_MIRROR "$0" "$@"
repo=$(cd "$(dirname "$0")/.." && pwd)
mirror=${TAMSORY_DEBIAN_MIRROR:-http://deb.debian.org/debian}

# A mirror hiccup is retried; a real failure fails all three times.
retry() {
    local n
    for n in 1 2 3; do
        "$@" && return 0
        [ $n -lt 3 ] && { echo "pristine: attempt $n failed, retrying: $*" >&2; sleep $((10 * n)); }
    done
    return 1
}

if ! command -v debootstrap >/dev/null; then
    retry apt-get update -q
    DEBIAN_FRONTEND=noninteractive retry apt-get install -y -q --no-install-recommends debootstrap
fi

root=$(mktemp -d /var/tmp/tamsory-pristine.XXXXXX)
chmod 755 "$root"  # mktemp makes it private: the user inside must reach /
cleanup() {
    # Nothing is mounted here from this namespace; refuse to delete through a mount all the same.
    if findmnt -rno TARGET | grep -q "^$root"; then
        echo "pristine: $root still has mounts; left in place" >&2
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT

bootstrap() {
    find "$root" -mindepth 1 -xdev -delete  # what a failed attempt left, never through a mount it left
    debootstrap --variant=minbase --include=git,ca-certificates,sudo bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
        { tail -n 20 "$root.log" >&2; return 1; }
}
echo "pristine: making a bare Debian 12 in $root"
retry bootstrap
rm -f "$root.log"
# The sources of a Debian 12 installation: the release, its updates and its security fixes.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb ${mirror%/debian}/debian-security bookworm-security main
EOF
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n' "$(hostname)" >"$root/etc/hosts"  # as the installer writes it
chroot "$root" useradd --create-home --shell /bin/bash newcomer
echo 'newcomer ALL=(ALL) NOPASSWD: ALL' >"$root/etc/sudoers.d/newcomer"
git clone -q "$repo" "$root/home/newcomer/Tamsory"
chroot "$root" chown -R newcomer:newcomer /home/newcomer/Tamsory
echo "pristine: cloned $(git -C "$repo" rev-parse --short HEAD) into it"

# In new mount and process namespaces: the mounts vanish with the namespace, and so does any
# process the commands leave behind (Xvfb, wineserver).
unshare --mount --pid --fork --kill-child --propagation private bash -euo pipefail -c '
    root=$1
    shift
    mount -t proc proc "$root/proc"
    mount --bind /sys "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    trap "umount -l \"\$root/dev/shm\" \"\$root/dev/pts\" \"\$root/dev\" \"\$root/sys\" \"\$root/proc\"" EXIT
    for command in "$@"; do
        echo "pristine: \$ $command"
        start=$SECONDS
        chroot --userspec=newcomer:newcomer "$root" env -i HOME=/home/newcomer USER=newcomer LOGNAME=newcomer \
            SHELL=/bin/bash PATH=/usr/local/bin:/usr/bin:/bin TERM=dumb ${CI:+CI=$CI} \
            bash -c "cd ~/Tamsory && $command" || { code=$?; echo "pristine: failed ($code): $command" >&2; exit $code; }
        echo "pristine: done in $((SECONDS - start)) s: $command"
    done
' pristine "$root" "$@"
