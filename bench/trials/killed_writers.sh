#!/usr/bin/env bash
# Kills a process that replaces one file over and over, at random moments, and
# looks after each kill: the file must hold one whole version, old or new.
# Then counts what the kills left beside it, and again after one more write,
# which must remove every temporary a killed writer left.
#   bench/trials/killed_writers.sh [build folder] [kills]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${1:-$ROOT/build/default}
KILLS=${2:-200}
WORK=$(mktemp -d /tmp/orvelle-kill-trial-XXXXXX)
trap 'rm -rf "$WORK"' EXIT

cat >"$WORK/writer.cpp" <<'CPP'
#include <cstdio>
#include <string>
#include "platform/atomic_file.h"
// writer FILE [once]: two versions of different sizes, in turn.
int main(int argc, char** argv) {
  const std::string versions[] = {std::string(64 * 1024, 'a'), std::string(96 * 1024, 'b')};
  for (unsigned i = 0;; ++i) {
    if (!orvelle::WriteFileAtomically(argv[1], versions[i % 2])) return 1;
    if (argc > 2) return 0;
  }
}
CPP
c++ -std=c++20 -O2 -I"$ROOT" "$WORK/writer.cpp" "$BUILD/lib/liborvelle-platform.a" -o "$WORK/writer"

head -c 65536 /dev/zero | tr '\0' a >"$WORK/a"
head -c 98304 /dev/zero | tr '\0' b >"$WORK/b"
mkdir "$WORK/files"
target="$WORK/files/frame.cal"
torn=0
stray=0
for ((k = 0; k < KILLS; k++)); do
  "$WORK/writer" "$target" &
  pid=$!
  sleep "$(printf '0.%03d' $((RANDOM % 30)))"
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  if [ -e "$target" ] && ! cmp -s "$target" "$WORK/a" && ! cmp -s "$target" "$WORK/b"; then
    torn=$((torn + 1))
  fi
  if [ -n "$(find "$WORK/files" -name 'frame.cal.tmp-*')" ]; then stray=$((stray + 1)); fi
done
left=$(find "$WORK/files" -mindepth 1 | wc -l)
"$WORK/writer" "$target" once
after=$(find "$WORK/files" -mindepth 1 | wc -l)
echo "kills: $KILLS; files not whole after a kill: $torn; kills that left a temporary: $stray"
echo "files in the folder after the kills: $left (the file and $((left - 1)) temporaries)"
echo "files in the folder after one more write: $after"
[ "$torn" = 0 ] && [ "$after" = 1 ]
