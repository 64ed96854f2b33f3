#!/usr/bin/env bash
# Screenshots of the calibration and of the console's touch test on the second
# of two screens: a virtual X display (Xvfb) split into a 1280 x 800 desk
# screen "Desk" and an 800 x 1280 portrait touch screen "Frame" beside it.
# The touch test is driven with pointer clicks, once within and once beyond
# its tolerance (1.5 % of the diagonal: 22.6 px here).
#   calibration/tools/second_screen_screenshots.sh [build dir] [output dir]
# Needs xvfb-run, xdotool, ImageMagick (import, convert) and python3; the build
# dir must hold Tessaly, OrvelleConsole, orvelle-sim and their packs.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/default}" && pwd)
OUT=$(mkdir -p "${2:-$ROOT/docs/screenshots}" && cd "${2:-$ROOT/docs/screenshots}" && pwd)
WORK=$(mktemp -d /tmp/second-screen-shots-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$WORK"' EXIT

cp "$BUILD/bin/Tessaly" "$BUILD/bin/OrvelleConsole" "$BUILD"/bin/*.rcc "$WORK/"

cat >"$WORK/inner.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
work=$1 out=$2 build=$3 tools=$4
export ORVELLE_SIM_DIR=$work/sim ORVELLE_CONFIG_DIR=$work/config XDG_RUNTIME_DIR=$work
export ORVELLE_MESSAGE_BOXES=log
mkdir -p "$ORVELLE_SIM_DIR"
"$tools/xvfb_monitors.py" Desk 1280x800+0+0 Frame 800x1280+1280+0

# The frame screen alone, and both screens side by side.
shoot() {
  import -window root "$work/root.png"
  convert "$work/root.png" -crop 800x1280+1280+0 +repage "$out/$1.png"
  convert "$work/root.png" -resize 50% "$out/$1-both-screens.png"
  echo "screenshots: $out/$1.png"
}
# Pointer clicks at the touch test's crosses on the frame screen, each moved by (dx, dy).
tap_crosses() {
  local dx=$1 dy=$2
  for at in "400 640" "25 40" "775 40" "775 1240" "25 1240"; do
    set -- $at
    xdotool mousemove $((1280 + $1 + dx)) $(($2 + dy)) click 1
    sleep 0.3
  done
}

mkfifo "$work/sim.in"
"$build/bin/orvelle-sim" --dir "$ORVELLE_SIM_DIR" <"$work/sim.in" >"$work/sim.log" 2>&1 &
exec 3>"$work/sim.in"
sleep 0.5

# The console dragged onto the frame screen starts the touch test there.
"$work/OrvelleConsole" 0 >"$work/console.log" 2>&1 &
console=$!
sleep 3
window=$(xdotool search --sync --onlyvisible --pid "$console" | head -1)
xdotool windowmove --sync "$window" 1320 200
sleep 0.5
xdotool windowfocus --sync "$window" key ctrl+Tab ctrl+Tab
sleep 0.5
import -window root "$work/root.png"
convert "$work/root.png" -resize 50% "$out/console-on-second-screen.png"
xdotool key alt+s
sleep 1.5
tap_crosses 6 -4
sleep 0.5
shoot touch-test-second-screen-pass-en
xdotool key Escape
sleep 1
xdotool windowfocus --sync "$window" key alt+s
sleep 1.5
tap_crosses 6 -4
xdotool mousemove $((1280 + 400 + 24)) $((640 + 18)) click 1  # the centre again, 30 px off
sleep 0.5
shoot touch-test-second-screen-fail-en
xdotool key Escape
sleep 0.5
kill "$console"

# The calibration on the frame screen, chosen by name.
"$work/Tessaly" --screen Frame 0 >"$work/tessaly.log" 2>&1 &
program=$!
sleep 3
shoot tessaly-second-screen-en
echo unplug >&3
wait "$program" || true
echo quit >&3
exec 3>&-
wait || true
INNER
chmod +x "$WORK/inner.sh"
xvfb-run -a -s "-noreset -screen 0 2080x1280x24" "$WORK/inner.sh" "$WORK" "$OUT" "$BUILD" \
  "$ROOT/calibration/tools"
