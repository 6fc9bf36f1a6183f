#!/usr/bin/env bash
# Runs a script inside a 64-bit Debian guest machine whose Wine runs 32-bit
# Windows programs through WoW64, as 64-bit Windows does. This machine's
# kernel may not start 32-bit Linux programs; Debian's stock kernel in the
# guest does.
#
#   tools/wow64-guest.sh SHARE SCRIPT
#
# SHARE is a folder of this machine, seen as /mnt/share inside the guest (the
# build goes in, the results come out). SCRIPT is a path inside SHARE that the
# guest runs with bash. The exit status is the script's; its output is
# printed. 77 means no guest could start here (the reason is printed).
#
# The guest disk is built once, from apt, into a cache outside the clone
# (TAVRIN_WOW64_CACHE, /var/cache/tavrin-wow64 by default), keyed by the
# content of this script and of the files it puts into the disk; it is
# rebuilt when missing. It carries a ready Windows 10 WoW64 prefix at
# /var/lib/tavrin/prefix. Must run as root.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
skip() {
  echo "wow64-guest: skipped: $*" >&2
  exit 77
}

share=$(cd "${1:?usage: wow64-guest.sh SHARE SCRIPT}" && pwd)
script=${2:?usage: wow64-guest.sh SHARE SCRIPT}
[ -f "$share/$script" ] || { echo "wow64-guest: no $share/$script" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || skip "building the guest disk needs root"
qemu=$(command -v qemu-system-x86_64 || true)
[ -n "$qemu" ] || skip "qemu-system-x86_64 is not installed"
[ "$(uname -m)" = x86_64 ] || skip "the guest is an x86_64 machine; this one is $(uname -m)"

# The files that end up inside the disk decide its identity.
disk_inputs=("$0" "$top/tools/wow64/guest-init" "$top/tools/wine-prefix.sh")
key=$(cat "${disk_inputs[@]}" | sha256sum | cut -c1-16)
cache_root=${TAVRIN_WOW64_CACHE:-/var/cache/tavrin-wow64}
cache="$cache_root/$key"
suite=bookworm
mirror=$(sed -n 's/^URIs: *\([^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n1)
mirror=${mirror:-http://deb.debian.org/debian}

# A normal KVM boots the stock kernel; a PVM host's /dev/kvm does not, and
# neither does a missing one: emulate the CPU there. QEMU 7.2's emulated
# SMAP faults the return from Wine's 32-bit system calls, so it is off.
accel=(-accel tcg,thread=multi -cpu max,-smap,-la57)
if [ -r /dev/kvm ] && [ -w /dev/kvm ] && [ ! -d /sys/module/kvm_pvm ] &&
  grep -qE '^flags.*\b(vmx|svm)\b' /proc/cpuinfo; then
  accel=(-accel kvm -cpu host)
fi

pids=()
mounts=()
cleanup() {
  local p m
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for ((m = ${#mounts[@]} - 1; m >= 0; m--)); do umount -l "${mounts[m]}" 2>/dev/null || true; done
}
trap cleanup EXIT

# boot DISK_OPTION CMDLINE_EXTRA TIMEOUT_SECONDS LOG: boots the guest and waits.
boot() {
  local drive=$1 extra=$2 limit=$3 log=$4 qpid
  "$qemu" -machine q35 "${accel[@]}" -smp 2 -m 3072 -nographic -no-reboot \
    -nic none -monitor none -serial "file:$log" \
    -kernel "$cache/vmlinuz" -initrd "$cache/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet init=/sbin/tavrin-init $extra" \
    -drive "$drive" \
    -virtfs "local,path=$share,mount_tag=share,security_model=none,id=share" \
    </dev/null >/dev/null 2>&1 &
  qpid=$!
  pids+=("$qpid")
  local waited=0
  while kill -0 "$qpid" 2>/dev/null; do
    if [ "$waited" -ge "$limit" ]; then
      echo "wow64-guest: the guest ran longer than $limit s; stopping it" >&2
      kill "$qpid" 2>/dev/null || true
      break
    fi
    sleep 2
    waited=$((waited + 2))
  done
  wait "$qpid" 2>/dev/null || true
}

# The build root gets a /proc and a /dev of its own: a fresh tmpfs with the
# few device nodes the package scripts use, never this machine's /dev.
mount_build_root() {
  local root=$1 n
  mount -t proc proc "$root/proc" && mounts+=("$root/proc")
  mount -t tmpfs -o mode=755,size=1m tavrin-dev "$root/dev" && mounts+=("$root/dev")
  for n in "null 1 3" "zero 1 5" "full 1 7" "random 1 8" "urandom 1 9" "tty 5 0" "console 5 1" "ptmx 5 2"; do
    set -- $n
    mknod -m 666 "$root/dev/$1" c "$2" "$3"
  done
  mkdir -p "$root/dev/pts" "$root/dev/shm"
  ln -s /proc/self/fd "$root/dev/fd"
}
unmount_build_root() {
  local root=$1
  umount "$root/dev" "$root/proc"
  mounts=()
}

build_disk() {
  local work="$cache_root/$key.build" root
  root="$work/root"
  echo "wow64-guest: building the guest disk in $cache (a few minutes, once)" >&2
  rm -rf "$work"
  mkdir -p "$root"
  env -u CONTAINER debootstrap --variant=minbase --arch=amd64 "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; return 1; }
  cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb ${mirror%/debian}/debian-security $suite-security main
EOF
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # The initial RAM disk must find the virtio disk.
  mkdir -p "$root/etc/initramfs-tools"
  printf 'virtio_pci\nvirtio_blk\next4\n' >"$root/etc/initramfs-tools/modules"
  mount_build_root "$root"
  chroot "$root" /bin/sh -ec '
    export DEBIAN_FRONTEND=noninteractive
    dpkg --add-architecture i386
    for pause in 0 20 40 80; do
      sleep "$pause"
      if apt-get update -q -o Acquire::Retries=3; then break; fi
      echo "the package index could not be fetched completely; trying again"
    done
    apt-get install -y -q --no-install-recommends linux-image-amd64 kmod \
      wine wine64 wine32:i386 xvfb xauth fonts-dejavu-core fonts-wine procps iproute2
    apt-get clean
    rm -rf /var/lib/apt/lists/*' >"$work/packages.log" 2>&1 ||
    { tail -n 20 "$work/packages.log" >&2; return 1; }
  unmount_build_root "$root"
  install -m 755 "$top/tools/wow64/guest-init" "$root/sbin/tavrin-init"
  install -D -m 755 "$top/tools/wine-prefix.sh" "$root/opt/tavrin/wine-prefix.sh"
  echo tavrin-guest >"$root/etc/hostname"
  cp -L "$root/vmlinuz" "$work/vmlinuz"
  cp -L "$root/initrd.img" "$work/initrd.img"
  mke2fs -q -t ext4 -L tavrin -d "$root" "$work/disk.img" 8G
  rm -rf "$root"
  # The first boot makes the Wine prefix that every run copies.
  local staged=$cache
  cache=$work
  boot "file=$work/disk.img,format=raw,if=virtio" "tavrin.prepare=1" 900 "$work/prepare.log"
  cache=$staged
  grep -q 'tavrin-guest: prefix ready' "$work/prepare.log" ||
    { tail -n 20 "$work/prepare.log" >&2; return 1; }
  rm -rf "$cache"
  mv "$work" "$cache"
}

mkdir -p "$cache_root"
exec 9>"$cache_root/.lock"
flock 9
if [ ! -f "$cache/disk.img" ] || [ ! -f "$cache/prepare.log" ]; then
  command -v debootstrap >/dev/null || skip "debootstrap is not installed"
  build_disk || { echo "wow64-guest: the guest disk could not be built" >&2; exit 1; }
fi
flock -u 9

# The cached disk stays untouched: the guest writes to a throw-away overlay.
log="$share/.guest-console.log"
status_file="$share/.guest-status"
rm -f "$log" "$status_file"
start=$(date +%s)
boot "file=$cache/disk.img,format=raw,if=virtio,snapshot=on" "tavrin.run=$script" "${TAVRIN_WOW64_TIMEOUT:-1800}" "$log"
sed -e 's/\r$//' "$log"
echo "wow64-guest: the guest ran for $(($(date +%s) - start)) s (${accel[*]})" >&2
if [ ! -f "$status_file" ]; then
  grep -q 'tavrin-guest: up' "$log" || skip "the guest did not boot here (${accel[*]})"
  echo "wow64-guest: the guest ended without an exit status" >&2
  exit 1
fi
exit "$(cat "$status_file")"
