#!/usr/bin/env bash
# Makes the guest of make test32: Debian 12 (amd64, with the i386 architecture for 32-bit Wine)
# from Debian's packages, packed into an ext4 image that tools/vm32/run boots under qemu. This
# machine's kernel cannot run 32-bit Linux programs; the guest's can.
#
#   make-image.sh VM32DIR        build what is missing or out of date in VM32DIR (needs root)
#
# VM32DIR/rootfs is the unpacked tree, VM32DIR/img the image, kernel and initrd. Each part is
# made again only when its recipe changed: the packages (stages 1 and 2) when the list below
# did, the rest when this file, the guest's files or tools/wine-run (which makes the guest's
# Wine prefix, as it makes the tests' prefix here) did.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
[[ $# -eq 1 ]] || { echo "usage: make-image.sh VM32DIR" >&2; exit 2; }
mkdir -p "$1"
vm=$(cd "$1" && pwd)
rootfs=$vm/rootfs img=$vm/img logs=$vm/logs
mkdir -p "$img" "$logs"
[[ $(id -u) -eq 0 ]] || { echo "make-image: root is needed (debootstrap, chroot)" >&2; exit 1; }

# Guest packages: 32-bit Wine and what the tests' Wine needs here (fonts, Xvfb, the German
# locale); procps for tools/wine-run. No recommends.
packages="linux-image-amd64 initramfs-tools kmod iproute2 procps locales wine wine32 libwine:i386 fonts-wine
  fonts-liberation2 xvfb xauth x11-utils"
package_stamp=$(echo "$packages" | sha256sum | cut -c1-16)
recipe_stamp=$(cat "$0" "$here"/guest/* "$root/tools/wine-run" | sha256sum | cut -c1-16)
if [[ -f $img/recipe && $(cat "$img/recipe") == "$recipe_stamp" && -f $img/rootfs.img ]]; then
  exit 0
fi

# The mirrors this machine's apt uses.
mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
[[ -n $mirror ]] || mirror=$(awk '/^deb /{print $2; exit}' /etc/apt/sources.list)
security=$(awk '/^URIs:/{n++; if(n==2){print $2; exit}}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)

start=$(date +%s)
step() { echo "make-image: $1 ($(( $(date +%s) - start )) s)"; }

unmount_chroot() {
  local m
  for m in dev/pts dev sys proc; do mountpoint -q "$rootfs/$m" && umount -l "$rootfs/$m"; done
  return 0
}
trap unmount_chroot EXIT
in_chroot() {
  mountpoint -q "$rootfs/proc" || mount -t proc proc "$rootfs/proc"
  mountpoint -q "$rootfs/sys" || mount -t sysfs sys "$rootfs/sys"
  mountpoint -q "$rootfs/dev" || mount --bind /dev "$rootfs/dev"
  mountpoint -q "$rootfs/dev/pts" || mount --bind /dev/pts "$rootfs/dev/pts"
  DEBIAN_FRONTEND=noninteractive chroot "$rootfs" "$@"
}

# Stages 1 and 2: the base system, then the packages. The i386 packages' maintainer scripts
# that cannot run here are finished by the first boot.
if [[ ! -f $rootfs/.packages || $(cat "$rootfs/.packages") != "$package_stamp" ]]; then
  unmount_chroot
  rm -rf "$rootfs"
  debootstrap --variant=minbase --arch=amd64 bookworm "$rootfs" "$mirror" >"$logs/debootstrap.log" 2>&1 ||
    { tail -20 "$logs/debootstrap.log"; exit 1; }
  step "base system"
  {
    echo "deb $mirror bookworm main"
    echo "deb $mirror bookworm-updates main"
    [[ -n $security ]] && echo "deb $security bookworm-security main"
  } >"$rootfs/etc/apt/sources.list"
  printf '#!/bin/sh\nexit 101\n' >"$rootfs/usr/sbin/policy-rc.d"
  chmod +x "$rootfs/usr/sbin/policy-rc.d"
  echo 'APT::Install-Recommends "false";' >"$rootfs/etc/apt/apt.conf.d/90norecommends"
  in_chroot dpkg --add-architecture i386
  # shellcheck disable=SC2086
  { in_chroot apt-get update && in_chroot apt-get install -y $packages; } >"$logs/packages.log" 2>&1 ||
    { tail -20 "$logs/packages.log"; exit 1; }
  in_chroot apt-get clean
  unmount_chroot
  echo "$package_stamp" >"$rootfs/.packages"
  step "packages"
fi

# Stage 3: the guest's start program and settings.
install -m 755 "$here/guest/init" "$rootfs/sbin/vm32-init"
echo vm32 >"$rootfs/etc/hostname"
printf '127.0.0.1 localhost\n' >"$rootfs/etc/hosts"
printf '/dev/vda / ext4 rw,noatime 0 1\n' >"$rootfs/etc/fstab"
echo 'de_DE.UTF-8 UTF-8' >"$rootfs/etc/locale.gen"

# Stage 4: the image, with room for the Wine prefix and the tests' files (one of over 2 GB).
kernel=$(ls "$rootfs/lib/modules" | sort -V | tail -1)
cp -L "$rootfs/boot/vmlinuz-$kernel" "$img/vmlinuz"
cp -L "$rootfs/boot/initrd.img-$kernel" "$img/initrd.img"
used=$(du -sm --exclude=./proc --exclude=./sys "$rootfs" | cut -f1)
rm -f "$img/rootfs.img" "$img/recipe"
truncate -s $((used + 5120))M "$img/rootfs.img"
mkfs.ext4 -q -F -L vm32root -d "$rootfs" "$img/rootfs.img"
step "image of $((used + 5120)) MB, kernel $kernel"

# Stage 5: the first boot finishes the packages' setup, makes the German locale and the 32-bit
# Wine prefix (through tools/wine-run, as the tests' prefix is made), and keeps them in the image.
VM32_PERSIST=1 "$here/run" "$vm" '
set -e
dpkg --configure -a
locale-gen >/dev/null
WINE_RUN_ARCH=win32 '"$root"'/tools/wine-run --prefix /root/wine32/wineprefix --start
WINE_RUN_ARCH=win32 '"$root"'/tools/wine-run --prefix /root/wine32/wineprefix --stop
' >"$logs/firstboot.log" 2>&1 || { tail -30 "$logs/firstboot.log"; exit 1; }
step "first boot: packages configured, Wine prefix made"
echo "$recipe_stamp" >"$img/recipe"
