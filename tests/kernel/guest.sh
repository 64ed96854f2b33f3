#!/usr/bin/env bash
# Inside the kernel test machine (root, the host's root read-only, /run and
# /tmp fresh): loads the HID modules, starts udevd with the build's device
# rule, and runs the kernel tests twice: with hid-generic on the controller,
# then with the kernel's touch driver bound to it, as on a real frame. Between
# the two, the link's figures beside their floors (BENCH, an optimised
# kernel_link_bench), which are printed and never fail the run. Given the
# Windows build's folder and a Wine prefix made for it, orvellectl.exe then
# meets the same controller through Wine's HID stack, which presents hidraw
# nodes as Windows HID devices: list, info and a configuration round trip.
#   guest.sh BUILD_FOLDER [BENCH [WINDOWS_BIN WINE_PREFIX]]
set -uo pipefail
build=$1
bench=${2:-$build/bin/kernel_link_bench}
windows_bin=${3:-}
wine_prefix=${4:-}
hid=$ORVELLE_KERNEL_MODULES/drivers/hid
load() {
  busybox insmod "$hid/$1.ko" || { echo "guest: cannot load $1"; exit 1; }
}
load hid
load uhid
load hid-generic

rule=$build/packaging/70-orvelle-touch.rules
[ -r "$rule" ] || { echo "guest: $rule is missing"; exit 1; }
group=$(sed -n 's/.*GROUP="\([^"]*\)".*/\1/p' "$rule" | head -n1)
# The package's installation makes the rule's group; this machine's /etc is
# the host's, read-only, so a copy with the group stands in for it.
if [ -n "$group" ] && ! getent group "$group" >/dev/null; then
  cp /etc/group /run/group
  echo "$group:x:990:" >>/run/group
  mount --bind /run/group /etc/group
fi
# udevd applies the package's rule alone: the distribution's rules (input
# devices, hardware database) only slow every plug down under emulation.
mount -t tmpfs distribution-rules /usr/lib/udev/rules.d
mkdir -p /run/udev/rules.d
cp "$rule" /run/udev/rules.d/
/lib/systemd/systemd-udevd --daemon || { echo "guest: udevd did not start"; exit 1; }

export ORVELLE_BIN_DIR=$build/bin ORVELLE_UDEV_RULE=$rule
# No simulator folder: the programs find the controller through the kernel only.
ORVELLE_SIM_DIR=$(mktemp -d)
export ORVELLE_SIM_DIR
tests=$build/bin/kernel_link_tests
status=0
echo "guest: the controller with hid-generic"
ORVELLE_EXPECT_DRIVER=hid-generic "$tests" || status=1
echo "guest: the link's figures beside their floors"
if [ -x "$bench" ]; then
  "$bench" || echo "figure: none (the benchmark could not measure)"
else
  echo "figure: none ($bench was not built)"
fi
if [ -n "$windows_bin" ]; then
  echo "guest: orvellectl.exe under Wine, through Wine's HID stack"
  "$(dirname "$0")/wine-hid.sh" run "$build" "$windows_bin" "$wine_prefix" || status=1
fi
load hid-multitouch
echo "guest: the controller with hid-multitouch"
ORVELLE_EXPECT_DRIVER=hid-multitouch "$tests" --gtest_filter='KernelLink.*' || status=1
exit $status
