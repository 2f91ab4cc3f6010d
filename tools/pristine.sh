#!/usr/bin/env bash
# Runs commands in a clone of the current commit on a bare Debian, as a newcomer has it: a root made
# by `debootstrap --variant=minbase` with git, ca-certificates and sudo and nothing else. Our own
# machines come with compilers and Wine installed, which hides a missing install step; this does not.
#   tools/pristine.sh [--debian 13|12] [--as user|root] [--with FILE]... COMMAND...
#     --debian   13 "trixie", the stable release (the default), or 12 "bookworm"
#     --as       user: a user who may sudo (the default); root: root after a plain `su` (in that
#                user's clone, with the PATH that su leaves)
#     --with     FILE is copied to /home/newcomer/<its name>, the newcomer's; may be given more than once
#     COMMAND    a shell command run in the clone; the first that fails ends the run with its code
# Only committed work and the --with files reach the root. Needs root (or sudo), debootstrap and
# Debian's mirrors: TAMSORY_DEBIAN_MIRROR (default http://deb.debian.org/debian) and
# TAMSORY_DEBIAN_SECURITY (default http://security.debian.org/debian-security). A run keeps all it
# makes in one folder in /var/tmp, and works in mount and PID namespaces of its own, so that no mount
# or process outlives it. The caller's clone may be anyone's: git is told that it is safe by a config
# file in that folder, and no one's git configuration changes.
set -euo pipefail
PATH=$PATH:/usr/local/sbin:/usr/sbin:/sbin  # chroot, useradd, debootstrap, even after a plain su
if [ "$(id -u)" -ne 0 ]; then exec sudo --preserve-env=CI,TAMSORY_DEBIAN_MIRROR,TAMSORY_DEBIAN_SECURITY "$0" "$@"; fi
usage() { echo "usage: $0 [--debian 13|12] [--as user|root] [--with FILE]... COMMAND..." >&2; exit 2; }
release=13 as=user with=()
while [[ ${1:-} == --* && $# -ge 2 ]]; do
    case $1 in
        --debian) release=$2 ;;
        --as) as=$2 ;;
        --with) with+=("$2") ;;
        *) usage ;;
    esac
    shift 2
done
case $release in 13) suite=trixie ;; 12) suite=bookworm ;; *) usage ;; esac
if [[ $# -eq 0 || $1 == --* || ! $as =~ ^(user|root)$ ]]; then usage; fi
if ! command -v debootstrap >/dev/null; then
    echo "pristine: needs debootstrap (apt-get install debootstrap)" >&2
    exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd -P)  # physical, as git compares it with safe.directory
export repo release suite as CI=${CI:-} \
    mirror=${TAMSORY_DEBIAN_MIRROR:-http://deb.debian.org/debian} \
    security=${TAMSORY_DEBIAN_SECURITY:-http://security.debian.org/debian-security}

# The run, inside the namespaces: the root, the clone, the files given, the commands.
# shellcheck disable=SC2317  # called by the bash that unshare starts
inside() {
    local dir=$1 root=$1/root log=$1/debootstrap.log home=/home/newcomer user=newcomer how='a user who may sudo'
    local n commit start code
    shift
    echo "pristine: making a bare Debian $release ($suite) in $root"
    # A mirror's hiccup is retried. Each attempt has a mount namespace of its own: it leaves no mount.
    for n in 1 2 3; do
        rm -rf --one-file-system "$root"
        if unshare --mount --propagation private debootstrap --variant=minbase \
            --include=git,ca-certificates,sudo "$suite" "$root" "$mirror" >"$log" 2>&1; then break; fi
        tail -n 20 "$log" >&2
        if [ "$n" -eq 3 ]; then return 1; fi
        echo "pristine: debootstrap failed (attempt $n); retrying" >&2
        sleep $((10 * n))
    done
    # The sources of an installed Debian: the release, its updates and its security fixes.
    printf 'deb %s %s main\n' "$mirror" "$suite" "$mirror" "$suite-updates" "$security" "$suite-security" \
        >"$root/etc/apt/sources.list"
    cp -L /etc/resolv.conf "$root/etc/resolv.conf"
    printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n' "$(hostname)" >"$root/etc/hosts"  # as the installer writes it
    chroot "$root" useradd --create-home --shell /bin/bash newcomer
    echo 'newcomer ALL=(ALL) NOPASSWD: ALL' >"$root/etc/sudoers.d/newcomer"
    # The newcomer's clone, with its own copy of the objects, not hard links to the caller's: the
    # chown stays inside the root. Only the clone we made is asked for its commit.
    GIT_CONFIG_GLOBAL=$dir/gitconfig git clone -q --no-local "$repo" "$root/home/newcomer/Tamsory"
    commit=$(git -C "$root/home/newcomer/Tamsory" rev-parse --short HEAD)
    cp -r "$dir/with/." "$root/home/newcomer/"
    chroot "$root" chown -R newcomer:newcomer /home/newcomer
    if [ "$as" = root ]; then
        home=/root user=root how="after a plain su in the newcomer's clone, no sbin on the PATH"
    fi
    echo "pristine: cloned $commit into it; the commands run as $user ($how)"
    mount -t proc proc "$root/proc"
    mount --bind /sys "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    for command in "$@"; do
        echo "pristine: Debian $release, as $user: \$ $command"
        start=$SECONDS
        if chroot --userspec="$user:$user" "$root" env -i HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash \
            PATH=/usr/local/bin:/usr/bin:/bin TERM=dumb ${CI:+CI=$CI} bash -c "cd /home/newcomer/Tamsory && $command" \
            9<&-; then
            echo "pristine: done in $((SECONDS - start)) s on Debian $release: $command"
        else
            code=$?
            echo "pristine: failed ($code) on Debian $release: $command" >&2
            return "$code"
        fi
    done
}
export -f inside

# A run's folder is locked while any process of the run lives, and marked `locked` once the run holds
# the lock: a marked folder whose lock is free was left by a run killed outright. Anyone may put a
# link, a FIFO or a folder of theirs under that name in /var/tmp: only real folders of root's are looked
# at, and opened as "$old/.", which fails on anything else and creates nothing. Nothing here waits.
shopt -s nullglob
for old in /var/tmp/tamsory-pristine.*; do
    what=$(stat -c '%F of uid %u' -- "$old" 2>/dev/null || true)  # of the name itself, not what it points to
    if [ "$what" != 'directory of uid 0' ] || ! { exec 8<"$old/."; } 2>/dev/null; then
        echo "pristine: $old is not a folder of root's (${what:-gone}); left alone" >&2
    elif ! flock -n 8; then
        echo "pristine: $old belongs to a run whose processes still live; left alone" >&2
    elif [ ! -e "$old/locked" ]; then
        echo "pristine: $old is not marked: a run just starting, or killed as it started; left alone" >&2
    else
        echo "pristine: removing $old, left by a killed run"
        rm -rf --one-file-system "$old"  # under its lock, so no other run removes it at once
    fi
    exec 8<&-
done

dir='' run=''
# shellcheck disable=SC2317  # called by the trap
cleanup() {
    trap '' HUP INT TERM
    exec 9<&-
    if [ -n "$run" ]; then
        # The namespace's first process dies with unshare (--kill-child), and every other one with it.
        kill -KILL "$run" 2>/dev/null || true
        wait "$run" 2>/dev/null || true
    fi
    if [ -z "$dir" ] || ! { exec 9<"$dir/."; } 2>/dev/null; then return; fi  # never made, or already removed
    if ! flock -w 60 9; then
        echo "pristine: processes of the run still live after 60 s; $dir is left for the next run" >&2
        return
    fi
    rm -rf --one-file-system "$dir"  # under its lock, as a scan removes one
}
trap cleanup EXIT; trap 'exit 129' HUP; trap 'exit 130' INT; trap 'exit 143' TERM
dir=$(mktemp -d /var/tmp/tamsory-pristine.XXXXXX)
exec 9<"$dir/."
flock 9  # kept by this script and handed to the namespaces' processes, but not to the commands
: >"$dir/locked"
git config --file "$dir/gitconfig" --add safe.directory "$repo"
git config --file "$dir/gitconfig" --add safe.directory "$repo/.git"
mkdir "$dir/with"
for file in "${with[@]}"; do
    cp -- "$file" "$dir/with/"  # before any debootstrap: a file that cannot be read fails the run here
done
unshare --mount --pid --fork --kill-child --mount-proc --propagation private \
    bash -euo pipefail -c 'inside "$@"' pristine "$dir" "$@" &
run=$!
if wait "$run"; then code=0; else code=$?; fi
run=''  # reaped: its number is no longer ours to kill
exit "$code"
