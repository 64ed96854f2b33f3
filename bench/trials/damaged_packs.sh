#!/usr/bin/env bash
# Starts Tessaly with damaged copies of its English pack and counts how each
# run ended. The copies are the same on every run (seeded by their number):
# a third with 1 to 4 bytes flipped, a third cut short, a third with a 4-byte
# run overwritten.
#   bench/trials/damaged_packs.sh [bin folder] [copies]
# Without a controller a sound pack ends with the not-connected message and
# status 0; a damaged one must end with the language-file message and status 1.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BIN=${1:-$ROOT/build/default/bin}
COPIES=${2:-150}
WORK=$(mktemp -d /tmp/orvelle-pack-trial-XXXXXX)
trap 'rm -rf "$WORK"' EXIT

python3 - "$BIN/TessalyEnglish.rcc" "$WORK" "$COPIES" <<'PY'
import random, sys
source, work, copies = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(source, 'rb').read()
for n in range(copies):
    r = random.Random(n)
    d = bytearray(data)
    if n % 3 == 0:
        for _ in range(r.randint(1, 4)):
            d[r.randrange(len(d))] ^= 1 << r.randrange(8)
    elif n % 3 == 1:
        del d[r.randrange(len(d)):]
    else:
        at = r.randrange(len(d) - 4)
        d[at:at + 4] = bytes(r.randrange(256) for _ in range(4))
    open(f"{work}/copy{n}.rcc", 'wb').write(bytes(d))
PY

mkdir -p "$WORK/home" "$WORK/sim"
cp "$BIN/Tessaly" "$WORK/home/Tessaly"
declare -A ended=()
for ((n = 0; n < COPIES; n++)); do
  cp "$WORK/copy$n.rcc" "$WORK/home/TessalyEnglish.rcc"
  status=0
  log=$(cd "$WORK" && QT_QPA_PLATFORM=offscreen ORVELLE_MESSAGE_BOXES=log \
    ORVELLE_SIM_DIR="$WORK/sim" ORVELLE_CONFIG_DIR="$WORK/config" XDG_RUNTIME_DIR="$WORK" \
    timeout -s KILL 30 "$WORK/home/Tessaly" 0 2>&1) || status=$?
  if ((status == 137)); then kind="hung or killed"
  elif ((status > 128)); then kind="crashed (signal $((status - 128)))"
  elif grep -q "Cannot use language file" <<<"$log"; then kind="refused with the message (status $status)"
  elif ((status == 0)) && grep -q "^[^:]*: " <<<"$log"; then kind="ran to its own message (status 0)"
  else kind="ended silently or otherwise (status $status)"
  fi
  ended[$kind]=$(( ${ended[$kind]:-0} + 1 ))
done
echo "$COPIES damaged copies of TessalyEnglish.rcc:"
for kind in "${!ended[@]}"; do printf '  %4d %s\n' "${ended[$kind]}" "$kind"; done | sort -rn
