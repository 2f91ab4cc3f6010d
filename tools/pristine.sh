#!/usr/bin/env bash
# Runs commands in a clone of the current commit on a bare Debian, as a newcomer has it: a root made
# by `debootstrap --variant=minbase` with git, ca-certificates and sudo and nothing else. Our own
# machines come with compilers and Wine installed, which hides a missing install step; this does not.
#   tools/pristine.sh [--debian 13|12] [--as user|root] COMMAND...
#     --debian   13 "trixie", the stable release (the default), or 12 "bookworm"
#     --as       user: a user who may sudo (the default); root: root after a plain `su` (in that
#                user's clone, with the PATH that su leaves)
#     COMMAND    a shell command run in the clone; the first that fails ends the run with its code
# Only committed work is cloned. Needs root (or sudo), debootstrap and Debian's mirrors:
# TAMSORY_DEBIAN_MIRROR (default http://deb.debian.org/debian) and TAMSORY_DEBIAN_SECURITY (default
# http://security.debian.org/debian-security). A run keeps all it makes in one folder in /var/tmp, and
# does all its work in mount and PID namespaces of its own, so that no mount or process outlives it.
set -euo pipefail
PATH=$PATH:/usr/local/sbin:/usr/sbin:/sbin  # chroot, useradd, debootstrap, even after a plain su
[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env=CI,TAMSORY_DEBIAN_MIRROR,TAMSORY_DEBIAN_SECURITY "$0" "$@"
usage() { echo "usage: $0 [--debian 13|12] [--as user|root] COMMAND..." >&2; exit 2; }
release=13 as=user
while [[ ${1:-} == --* && $# -ge 2 ]]; do
    case $1 in --debian) release=$2 ;; --as) as=$2 ;; *) usage ;; esac && shift 2
done
case $release in 13) suite=trixie ;; 12) suite=bookworm ;; *) usage ;; esac
[[ $# -gt 0 && ${1:-} != --* && $as =~ ^(user|root)$ ]] || usage
command -v debootstrap >/dev/null || { echo "pristine: needs debootstrap (apt-get install debootstrap)" >&2; exit 2; }
export repo=$(cd "$(dirname "$0")/.." && pwd) release suite as CI=${CI:-} \
    mirror=${TAMSORY_DEBIAN_MIRROR:-http://deb.debian.org/debian} \
    security=${TAMSORY_DEBIAN_SECURITY:-http://security.debian.org/debian-security}

# The run, inside the namespaces: the root, the clone, the commands.
inside() {
    local root=$1/root log=$1/debootstrap.log home=/home/newcomer user=newcomer how='a user who may sudo' n start
    shift
    echo "pristine: making a bare Debian $release ($suite) in $root"
    # A mirror's hiccup is retried. Each attempt has a mount namespace of its own: it leaves no mount.
    for n in 1 2 3; do
        rm -rf "$root"
        unshare --mount --propagation private debootstrap --variant=minbase --include=git,ca-certificates,sudo \
            "$suite" "$root" "$mirror" >"$log" 2>&1 && break
        tail -n 20 "$log" >&2 && [ $n -lt 3 ] || return 1
        echo "pristine: debootstrap failed (attempt $n); retrying" >&2 && sleep $((10 * n))
    done
    # The sources of an installed Debian: the release, its updates and its security fixes.
    printf 'deb %s %s main\n' "$mirror" "$suite" "$mirror" "$suite-updates" "$security" "$suite-security" \
        >"$root/etc/apt/sources.list"
    cp -L /etc/resolv.conf "$root/etc/resolv.conf"
    printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n' "$(hostname)" >"$root/etc/hosts"  # as the installer writes it
    chroot "$root" useradd --create-home --shell /bin/bash newcomer
    echo 'newcomer ALL=(ALL) NOPASSWD: ALL' >"$root/etc/sudoers.d/newcomer"
    # The newcomer's clone, with its own copy of the objects, not hard links to the caller's: the
    # chown stays inside the root.
    git clone -q --no-local "$repo" "$root/home/newcomer/Tamsory"
    chroot "$root" chown -R newcomer:newcomer /home/newcomer/Tamsory
    [ "$as" = user ] || home=/root user=root how="after a plain su in the newcomer's clone, no sbin on the PATH"
    echo "pristine: cloned $(git -C "$repo" rev-parse --short HEAD) into it; the commands run as $user ($how)"
    mount -t proc proc "$root/proc" && mount --bind /sys "$root/sys" && mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts" && mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    for command in "$@"; do
        echo "pristine: Debian $release, as $user: \$ $command" && start=$SECONDS
        chroot --userspec="$user:$user" "$root" env -i HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash \
            PATH=/usr/local/bin:/usr/bin:/bin TERM=dumb ${CI:+CI=$CI} bash -c "cd /home/newcomer/Tamsory && $command" ||
            { n=$?; echo "pristine: failed ($n) on Debian $release: $command" >&2; return $n; }
        echo "pristine: done in $((SECONDS - start)) s on Debian $release: $command"
    done
}
export -f inside

# The folder is locked while any process of its run lives. One whose lock is free but which is still
# there was left by a run killed outright.
shopt -s nullglob
for old in /var/tmp/tamsory-pristine.*; do
    flock -n "$old" true && echo "pristine: removing $old, left by a killed run" && rm -rf "$old" && continue
    echo "pristine: $old belongs to a run whose processes still live; left alone" >&2
done
dir=$(mktemp -d /var/tmp/tamsory-pristine.XXXXXX) run=
cleanup() {
    # The namespace's first process dies with unshare (--kill-child), and every other one with it.
    exec 9<&- && { [ -z "$run" ] || { kill -KILL "$run" && wait "$run"; } 2>/dev/null || true; }
    for _ in $(seq 120); do flock -n "$dir" true && rm -rf "$dir" && return; sleep 0.5; done
    echo "pristine: processes of the run still live after 60 s; $dir is left for the next run" >&2
}
trap cleanup EXIT; trap 'exit 129' HUP; trap 'exit 130' INT; trap 'exit 143' TERM
exec 9<"$dir" && flock 9  # handed to the namespaces' processes: free once the last of them has ended
unshare --mount --pid --fork --kill-child --mount-proc --propagation private \
    bash -euo pipefail -c 'inside "$@"' pristine "$dir" "$@" &
run=$! && exec 9<&-
wait $run && code=0 || code=$?
run= && exit $code
