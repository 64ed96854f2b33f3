#!/usr/bin/env bash
# Screenshots of the console's choice of controller, in English and Chinese:
# two simulated controllers of one identity at ports 1 and 2 on a virtual X
# display (Xvfb), the choice opened over the window. The English run chooses
# the second, which the Chinese run then shows, as kept.
#   console/tools/controller_choice_screenshots.sh [build dir] [output dir]
# Needs xvfb-run, xdotool and ImageMagick (import, convert); the build dir
# must hold OrvelleConsole, orvelle-sim and the console's packs.
set -euo pipefail

# The script runs itself again on a display of its own, with a white desk.
if [ "${1:-}" != --on-display ]; then
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  build=$(cd "${1:-$root/build/default}" && pwd)
  out=$(mkdir -p "${2:-$root/docs/screenshots}" && cd "${2:-$root/docs/screenshots}" && pwd)
  exec xvfb-run -a -s "-screen 0 1280x800x24 -wr" "$0" --on-display "$build" "$out"
fi
bin=$2/bin out=$3
work=$(mktemp -d /tmp/controller-choice-shots-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export ORVELLE_SIM_DIR=$work/sim ORVELLE_CONFIG_DIR=$work/config XDG_RUNTIME_DIR=$work
export ORVELLE_MESSAGE_BOXES=log
mkdir -m 700 "$ORVELLE_SIM_DIR"

for port in 1 2; do
  mkfifo "$work/sim$port.in"
  "$bin/orvelle-sim" --port "$port" --log <"$work/sim$port.in" >"$work/sim$port.log" 2>&1 &
done
exec 3>"$work/sim1.in" 4>"$work/sim2.in"
sleep 0.5

# The window at a known place; the open list reaches below its foot.
picture() {  # language, name
  "$bin/OrvelleConsole" "$1" >"$work/console-$2.log" 2>&1 &
  local console=$! window
  sleep 3
  window=$(xdotool search --sync --onlyvisible --pid "$console" | head -1)
  xdotool windowmove --sync "$window" 20 20
  xdotool windowfocus --sync "$window" key alt+o alt+Down
  sleep 1
  import -window root "$work/root.png"
  convert "$work/root.png" -crop 620x535+20+20 +repage "$out/console-controllers-$2.png"
  echo "screenshots: $out/console-controllers-$2.png"
  if [ "$1" = 0 ]; then
    xdotool key Down Return
    sleep 1.5
  fi
  kill "$console"
  wait "$console" || true
}
picture 0 en
picture 1 zh
# The first was read at the first start only, the second once chosen and at the next start.
grep -c "in  07 01" "$work/sim1.log" "$work/sim2.log" | sed 's/^.*sim/GET_MODEL requests to sim/'
echo quit >&3
echo quit >&4
