#!/usr/bin/env bash
# Screenshots of Tessaly on a virtual X display (Xvfb), driven through a run
# by the simulated controller: the first target, a run half done, the
# completed run with its buttons, and the completed run in Chinese.
#   calibration/tools/screenshots.sh [build dir] [output dir]
# Needs xvfb-run and ImageMagick's import; the build dir must hold Tessaly,
# orvelle-sim and the Tessaly packs.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/default}" && pwd)
OUT=$(mkdir -p "${2:-$ROOT/screenshots/tmp/tessaly}" && cd "${2:-$ROOT/screenshots/tmp/tessaly}" && pwd)
WORK=$(mktemp -d /tmp/tessaly-shots-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$WORK"' EXIT

# The program beside its packs, as installed.
cp "$BUILD/bin/Tessaly" "$BUILD"/bin/Tessaly*.rcc "$WORK/"

cat >"$WORK/inner.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
work=$1 out=$2 build=$3
export ORVELLE_SIM_DIR=$work/sim ORVELLE_CONFIG_DIR=$work/config XDG_RUNTIME_DIR=$work
export ORVELLE_MESSAGE_BOXES=log
mkdir -p "$ORVELLE_SIM_DIR"
targets=("2048 2048" "127 127" "2048 127" "3968 127" "3968 2048" "3968 3968" "2048 3968"
         "127 3968" "127 2048")

shoot() { import -window root "$out/$1.png"; echo "tessaly screenshots: $out/$1.png"; }
touch_target() { echo "touch ${targets[$1]} 150 500" >&3; sleep 0.9; }

run() {  # language, name prefix
  mkfifo "$work/sim.in"
  "$build/bin/orvelle-sim" --dir "$ORVELLE_SIM_DIR" <"$work/sim.in" >"$work/sim.log" 2>&1 &
  exec 3>"$work/sim.in"
  sleep 0.5
  "$work/Tessaly" "$1" >"$work/tessaly-$2.log" 2>&1 &
  local program=$!
  sleep 3
  [ "$2" = en ] && shoot "$2-1-first-target"
  for t in 0 1 2 3; do touch_target $t; done
  [ "$2" = en ] && shoot "$2-2-half-done"
  for t in 4 5 6 7 8; do touch_target $t; done
  sleep 1.2
  shoot "$2-3-complete"
  echo unplug >&3
  wait "$program" || true
  echo quit >&3
  exec 3>&-
  wait || true
  rm -f "$work/sim.in"
}
run 0 en
run 1 zh
INNER
chmod +x "$WORK/inner.sh"
xvfb-run -a -s "-screen 0 1280x800x24" "$WORK/inner.sh" "$WORK" "$OUT" "$BUILD"
