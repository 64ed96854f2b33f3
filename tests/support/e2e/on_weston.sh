#!/usr/bin/env bash
# Runs a command as a Qt client of a headless weston of its own, in a runtime
# folder of its own; weston ends with the command. Exits 77 (skipped) without
# weston, or 1 when ORVELLE_REQUIRE_DISPLAYS says the run must not skip. When
# the command fails, weston's log and the command's output are kept beside the
# command's build folder, in test-failures/<command>-on-weston/.
set -uo pipefail
if ! command -v weston >/dev/null 2>&1; then
  if [ -n "${ORVELLE_REQUIRE_DISPLAYS:-}" ]; then echo "failed: weston is not installed"; exit 1; fi
  echo "skipped: weston is not installed"; exit 77
fi
runtime=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-weston.XXXXXX")
chmod 700 "$runtime"
socket=wayland-orvelle-test
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --use-pixman --width=1280 \
  --height=1024 --socket=$socket --idle-time=0 --no-config >"$runtime/weston.log" 2>&1 &
weston=$!
trap 'kill $weston 2>/dev/null; wait $weston 2>/dev/null; rm -rf "$runtime"' EXIT
for _ in $(seq 200); do
  [ -S "$runtime/$socket" ] && break
  kill -0 $weston 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$runtime/$socket" ]; then
  echo "failed: weston did not start"; cat "$runtime/weston.log"; exit 1
fi
XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland "$@" 2>&1 |
  tee "$runtime/output.log"
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
  kept=$(cd "$(dirname "$1")/.." && pwd)/test-failures/$(basename "$1")-on-weston
  rm -rf "$kept"
  mkdir -p "$kept"
  cp "$runtime/weston.log" "$runtime/output.log" "$kept/"
  echo "What the run saw (weston's log, its output) is kept in $kept"
fi
exit "$status"
