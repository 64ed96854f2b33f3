#!/usr/bin/env bash
# The Windows build's orvellectl.exe against a controller of a real kernel,
# through Wine's HID stack (its HID bus reads the kernel's hidraw nodes and
# presents each as a Windows HID device to SetupAPI and HidD_*).
#   wine-hid.sh prefix PREFIX
#       on the host: makes the Wine prefix the machine copies (wineboot
#       inside the machine takes minutes under emulation)
#   wine-hid.sh run BUILD_FOLDER WINDOWS_BIN PREFIX
#       inside the kernel test machine: plugs the simulator in through uhid,
#       and has orvellectl.exe list it, read its identity and change a setting
#       that the Linux build's orvellectl then reads back
set -uo pipefail

say() { printf 'wine-hid: %s\n' "$*"; }
fail() { say "$*"; exit 1; }

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

make_prefix() {
  local prefix=$1
  rm -rf "$prefix"
  mkdir -p "$prefix"
  export WINEPREFIX=$prefix
  wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
  # Wine's HID bus with its hidraw backend only: the SDL one would look for
  # game controllers.
  wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v "Enable SDL" \
    /t REG_DWORD /d 0 /f >/dev/null 2>&1 || fail "the HID bus's setting could not be written"
  # The registry reaches the prefix's files when the server ends.
  wineserver -w
}

# One orvellectl.exe command, its output without Windows line ends; the first
# starts Wine's services and takes some seconds under emulation, the others
# a few. The output goes through a file, not a
# pipe: the Wine services a command starts (the HID bus's driver host among
# them) inherit it and live on with the server, and a reader of a pipe would
# wait for them. Nor do they get the simulator's input (descriptor 7).
ctl_exe() {
  local log status
  log=$(mktemp)
  timeout 300 wine "$windows_bin/orvellectl.exe" "$@" </dev/null >"$log" 2>&1 7>&-
  status=$?
  tr -d '\r' <"$log"
  rm -f "$log"
  return "$status"
}

# Runs a command and shows it with its output (in $out); fails unless it
# exits 0.
step() {
  local began=$SECONDS status
  out=$("$@")
  status=$?
  printf '$ %s  (%d s)\n%s\n' "$*" "$((SECONDS - began))" "$out"
  [ "$status" -eq 0 ] || fail "exit status $status"
}
holds() { grep -qF -- "$1" <<<"$out" || fail "no \"$1\" in its output"; }

run_in_machine() {
  local build=$1 prefix=$3
  windows_bin=$2
  [ -x "$windows_bin/orvellectl.exe" ] || fail "$windows_bin/orvellectl.exe is missing"
  [ -d "$prefix" ] || fail "the Wine prefix $prefix is missing"
  # The prefix (some 700 MB, most of it Wine's DLLs) is read-only here and
  # Wine writes to it: an overlay takes the writes in memory.
  export WINEPREFIX=/tmp/orvelle-wine HOME=/tmp/orvelle-wine-home
  busybox insmod "$ORVELLE_KERNEL_MODULES/fs/overlayfs/overlay.ko" 2>/dev/null
  mkdir -p "$WINEPREFIX" /tmp/orvelle-wine-changes /tmp/orvelle-wine-work "$HOME"
  mount -t overlay wine-prefix \
    -o "lowerdir=$prefix,upperdir=/tmp/orvelle-wine-changes,workdir=/tmp/orvelle-wine-work" \
    "$WINEPREFIX" || fail "the Wine prefix could not be mounted"
  # Wine runs only in a prefix of the user's own (root's here).
  chown "$(id -u)" "$WINEPREFIX"

  # The simulator runs until its input ends.
  local input
  input=$(mktemp -u)
  mkfifo "$input"
  "$build/bin/orvelle-sim" --uhid <"$input" >/dev/null 2>&1 &
  local sim=$!
  exec 7>"$input"
  # shellcheck disable=SC2064
  trap "wineserver -k 2>/dev/null; exec 7>&-; wait $sim 2>/dev/null" EXIT

  local native=$build/bin/orvellectl identity="" _
  for _ in $(seq 100); do
    identity=$("$native" list 2>/dev/null | awk '{print $2; exit}')
    [ -n "$identity" ] && break
    sleep 0.2
  done
  [ -n "$identity" ] || fail "the simulator's controller did not appear at a hidraw node"
  local native_info
  native_info=$("$native" info) || fail "the Linux build's orvellectl info failed"
  say "the controller $identity is at a hidraw node"

  # One Wine server for every command, so that its HID bus starts once.
  wineserver -p 7>&-
  step ctl_exe list
  holds "$identity"
  step ctl_exe info
  [ "$out" = "$native_info" ] || fail "not what the Linux build's orvellectl info says:
$native_info"
  step ctl_exe config set cfg15.value=2500
  step ctl_exe config show
  holds "cfg15.value=2500"
  step "$native" config show
  holds "cfg15.value=2500"
}

case "${1:-}" in
  prefix) [ $# -eq 2 ] || fail "usage: wine-hid.sh prefix PREFIX"; make_prefix "$2" ;;
  run) [ $# -eq 4 ] || fail "usage: wine-hid.sh run BUILD_FOLDER WINDOWS_BIN PREFIX"
    run_in_machine "$2" "$3" "$4" ;;
  *) fail "usage: wine-hid.sh prefix PREFIX | run BUILD_FOLDER WINDOWS_BIN PREFIX" ;;
esac
