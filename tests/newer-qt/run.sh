#!/bin/sh
# Builds sablix and runs its suite against the Qt of Debian 13 (trixie, Qt 6.8), in a Debian 13
# tree made with debootstrap below the build folder, so that a change that only a newer Qt
# rejects is seen before a system with that Qt meets it. Root only (debootstrap, chroot, mounts).
#   tests/newer-qt/run.sh [MAKE ARGUMENTS...]      e.g. TEST_LABELS=unit
# The tree is made once and kept (build-newer-qt/root); the build inside it is kept too, so a
# second run builds only what changed. Delete build-newer-qt to start over.
set -eu

src=$(cd "$(dirname "$0")/../.." && pwd)
work=${NEWER_QT_DIR:-$src/build-newer-qt}
root=$work/root
suite=trixie
jobs=${JOBS:-$(nproc)}

if [ "$(id -u)" -ne 0 ]; then
  echo "run.sh: needs root (debootstrap, chroot, mounts): sudo make test-newer-qt" >&2
  exit 1
fi

# The mounts live in a mount namespace of their own: whatever happens to this script, none of
# them is left behind on the host, and none reaches the host's own /dev or /proc.
if [ -z "${SABLIX_NEWER_QT_NS:-}" ]; then
  SABLIX_NEWER_QT_NS=1 exec unshare --mount --propagation private "$0" "$@"
fi

# The host's own mirror, so that the tree comes from where the host's packages do.
mirror=$(sed -n 's/^URIs:[[:space:]]*\(http[^[:space:]]*debian\)[[:space:]]*$/\1/p' \
           /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb[[:space:]]\{1,\}\(http[^[:space:]]*\/debian\)[[:space:]].*/\1/p' \
           /etc/apt/sources.list 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

command -v debootstrap >/dev/null 2>&1 || {
  DEBIAN_FRONTEND=noninteractive apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap
}

mkdir -p "$work"
if [ ! -f "$root/.sablix-base-done" ]; then
  rm -rf "$root"
  debootstrap --variant=minbase --include=ca-certificates "$suite" "$root" "$mirror"
  touch "$root/.sablix-base-done"
fi

mounted=""
unmount_all() {
  for m in $mounted; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
}
trap unmount_all EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP
# Mounted in order, unmounted in reverse.
mount_at() { # TARGET MOUNT-ARGUMENTS...
  target=$root$1; shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounted="$target $mounted"
}
mount_at /proc -t proc proc
mount_at /sys --bind /sys
mount_at /dev --bind /dev
mount_at /dev/pts --bind /dev/pts
mount_at /dev/shm -t tmpfs -o mode=1777 shm
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

in_root() {
  chroot "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

# The same packages as the Makefile's, read from it so that the two stay in step. Debian 13
# has every one of them under the same name; one it renames would be mapped here.
packages=$(printf 'print-packages:\n\t@echo $(PACKAGES)\n' | make -s -C "$src" -f Makefile -f - print-packages)

cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb ${mirror%/debian}/debian-security $suite-security main
EOF
missing=""
for p in $packages; do
  in_root dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing in $root:$missing"
  in_root apt-get update -q
  in_root apt-get install -y -q --no-install-recommends $missing
fi
in_root apt-get clean

# The source as it is in this folder (committed or not), without this folder's builds; times
# are kept, so the build inside rebuilds only what changed since the last run.
mkdir -p "$root/sablix"
find "$root/sablix" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
tar -C "$src" --exclude=./.git --exclude='./build*' --exclude=./.cache -cf - . | tar -C "$root/sablix" -xf -

echo "Qt inside: $(in_root dpkg-query -W -f='qt6-base-dev ${Version}, qt6-webengine-dev ' qt6-base-dev)$(in_root dpkg-query -W -f='${Version}' qt6-webengine-dev)"
status=0
in_root make -C /sablix test PACKAGES="$packages" JOBS="$jobs" "$@" || status=$?
echo "run.sh: make test inside Debian $suite exited with $status"
exit $status
