#!/usr/bin/env bash
# Boots Debian's own kernel under QEMU with the host's root file system shared
# read-only, and runs one command inside it (in a chroot to the host's root),
# so that the build's binaries meet a real kernel's HID stack, hidraw and udev.
# The current folder (the checkout) is shared too, on its own, and mounted at
# its place after the guest's fresh /tmp and /run, so that a checkout under
# either is still there.
#   tests/kernel/vm.sh COMMAND...     prints the guest's console; exits with
#                                     the command's status
# The kernel package is downloaded once into $ORVELLE_KERNEL_CACHE
# (default /var/cache/orvelle-kernel) and reused; nothing is installed.
set -euo pipefail

say() { printf 'kernel-vm: %s\n' "$*" >&2; }
fail() { say "$*"; exit 1; }

CACHE=${ORVELLE_KERNEL_CACHE:-/var/cache/orvelle-kernel}
# Booting and the guest's command together; TCG on a loaded machine is slow.
LIMIT=${ORVELLE_VM_LIMIT:-420}
# QEMU's most capable emulated CPU, without SMAP: with it, Wine stops at its
# start inside the machine ("virtual_setup_exception stack overflow", Wine 8
# on Debian's 6.1 kernel; the same programs run on the host).
# ORVELLE_VM_CPU chooses another model.
CPU=${ORVELLE_VM_CPU:-max,-smap}

command -v qemu-system-x86_64 >/dev/null || fail "qemu-system-x86_64 is missing (package qemu-system-x86)"
# grep reads the whole list: with -q it would stop at the match, and busybox,
# still writing, would die of SIGPIPE and fail the pipe.
[ -x /bin/busybox ] && /bin/busybox --list 2>/dev/null | grep -x insmod >/dev/null ||
  fail "a static busybox is missing (package busybox-static)"
[ $# -gt 0 ] || fail "usage: vm.sh COMMAND..."

# The ABI of the kernel Debian currently ships; the newest cached one when the
# archive cannot be asked.
shipped_abi() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: linux-image-\([0-9.]*-[0-9]*\)-amd64$/\1/p' | head -n1
}
kernel_abi() {
  local abi
  abi=$(shipped_abi)
  # A fresh machine may have no package lists yet.
  if [ -z "$abi" ] && [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq >/dev/null 2>&1 || true
    abi=$(shipped_abi)
  fi
  if [ -z "$abi" ]; then
    abi=$(find "$CACHE" -mindepth 1 -maxdepth 1 -type d -printf '%f\n' 2>/dev/null | sort -V | tail -n1)
  fi
  [ -n "$abi" ] || fail "no kernel package is known to apt and none is cached in $CACHE"
  echo "$abi"
}

fetch_kernel() {
  local abi=$1 tree=$CACHE/$1
  [ -f "$tree/boot/vmlinuz-$abi-amd64" ] && return 0
  mkdir -p "$CACHE"
  say "downloading linux-image-$abi-amd64 into $CACHE"
  (cd "$CACHE" && apt-get download -q "linux-image-$abi-amd64" >/dev/null 2>&1) ||
    fail "cannot download linux-image-$abi-amd64"
  rm -rf "$tree.part"
  dpkg-deb -x "$CACHE"/linux-image-"$abi"-amd64_*.deb "$tree.part"
  mv "$tree.part" "$tree"
  rm -f "$CACHE"/linux-image-"$abi"-amd64_*.deb
}

ABI=$(kernel_abi)
fetch_kernel "$ABI"
TREE=$CACHE/$ABI
MODULES=$TREE/lib/modules/$ABI-amd64/kernel

# Module paths in load order: each after the modules its depends= names.
declare -A LOADED=()
ORDER=()
module_path() { find "$MODULES" -name "$1.ko" -print -quit; }
add_module() {
  local name=${1//-/_} path dep
  [ -n "${LOADED[$name]:-}" ] && return 0
  path=$(module_path "$1")
  [ -n "$path" ] || path=$(module_path "${1//_/-}")
  [ -n "$path" ] || fail "module $1 is not in $MODULES"
  LOADED[$name]=1
  for dep in $(tr '\0' '\n' <"$path" | sed -n 's/^depends=//p' | head -n1 | tr ',' ' '); do
    add_module "$dep"
  done
  ORDER+=("$path")
}
for m in virtio_pci 9pnet_virtio 9p; do add_module "$m"; done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-vm.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/root/bin" "$WORK/root/modules" "$WORK/root/proc" "$WORK/root/sys" \
  "$WORK/root/dev" "$WORK/root/host"
cp /bin/busybox "$WORK/root/bin/busybox"
: >"$WORK/root/modules/order"
for path in "${ORDER[@]}"; do
  cp "$path" "$WORK/root/modules/"
  basename "$path" >>"$WORK/root/modules/order"
done
# The command runs with the host's environment as far as it matters here.
{
  printf 'export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin\n'
  printf 'export ORVELLE_KERNEL_MODULES=%q\n' "$MODULES"
  printf 'cd %q\n' "$PWD"
  printf '%q ' "$@"
  printf '\n'
} >"$WORK/root/command"
printf '%s' "$PWD" >"$WORK/root/checkout-path"
cat >"$WORK/root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $(cat /modules/order); do insmod "/modules/$m" || echo "kernel-vm: insmod $m failed"; done
status=125
if mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 host /host; then
  mount -t proc proc /host/proc
  mount -t sysfs sys /host/sys
  mount -t devtmpfs dev /host/dev
  mount -t devpts devpts /host/dev/pts 2>/dev/null
  mount -t tmpfs run /host/run
  mount -t tmpfs tmp /host/tmp
  checkout=$(cat /checkout-path)
  mkdir -p "/host$checkout"
  mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 checkout "/host$checkout" ||
    echo "kernel-vm: the checkout $checkout could not be mounted"
  cp /command /host/run/orvelle-vm-command
  chroot /host /bin/bash /run/orvelle-vm-command
  status=$?
else
  echo "kernel-vm: the host's root could not be mounted"
fi
echo "orvelle-vm-status: $status"
sync
poweroff -f
INIT
chmod +x "$WORK/root/init"
(cd "$WORK/root" && find . | cpio -o -H newc --quiet | gzip -1) >"$WORK/initrd"

say "booting $ABI under TCG"
status_line=$(
  timeout --kill-after=10 "$LIMIT" qemu-system-x86_64 -accel tcg -cpu "$CPU" -smp 2 -m 1536 \
    -nodefaults -no-reboot -display none -serial stdio \
    -kernel "$TREE/boot/vmlinuz-$ABI-amd64" -initrd "$WORK/initrd" \
    -append "console=ttyS0 quiet panic=-1 loglevel=4" \
    -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=${PWD//,/,,},mount_tag=checkout,security_model=none,readonly=on,multidevs=remap" \
    </dev/null | sed -u 's/\r$//' | tee /dev/stderr | grep -a '^orvelle-vm-status: ' | tail -n1
) || true
[ -n "$status_line" ] || fail "the virtual machine ended without the command's status (time limit ${LIMIT} s)"
exit "${status_line#orvelle-vm-status: }"
