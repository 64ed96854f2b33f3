#!/usr/bin/env bash
# Installs the Debian package on this machine, shows the device group it made
# and the device rule, shows that the installed programs find their packs
# against a simulated controller, removes the package again and checks that
# nothing of it is left but the group. Needs root.
#   packaging/check-installed.sh <package.deb>
set -euo pipefail
deb=$1
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-installed: $*" >&2; exit 1; }

# Waits up to 15 s for a line in a log file.
wait_for() {
  for _ in $(seq 150); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  fail "no \"$2\" in $1: $(cat "$1" 2>/dev/null)"
}

dpkg -i "$deb" >/dev/null
mapfile -t files < <(dpkg -L orvelle | while read -r f; do [ -f "$f" ] && echo "$f"; done)
[ "${#files[@]}" -gt 10 ] || fail "the package installed only ${#files[@]} files"

# The frame's nodes go to the seated user and to the package's own group.
getent group orvelle >/dev/null || fail "the package did not create the group orvelle"
rule=/usr/lib/udev/rules.d/70-orvelle-touch.rules
echo "check-installed: group $(getent group orvelle); $rule says:"
sed 's/^/  /' "$rule"
grep -q 'TAG+="uaccess".*GROUP="orvelle"' "$rule" || fail "the rule grants neither the seat nor orvelle"
if grep -q plugdev "$rule"; then fail "the rule still grants plugdev"; fi
doctor=0
/usr/bin/orvellectl doctor >"$work/doctor.log" 2>&1 || doctor=$?
[ "$doctor" -le 3 ] || fail "orvellectl doctor ended with $doctor: $(cat "$work/doctor.log")"

export QT_QPA_PLATFORM=offscreen ORVELLE_MESSAGE_BOXES=log ORVELLE_SIM_DIR="$work/sim" \
  ORVELLE_CONFIG_DIR="$work/config" XDG_CONFIG_HOME="$work/xdg"
cd "$work"  # never the source tree: the programs must find what they need where installed
(sleep 120 | /usr/bin/orvelle-sim --dir "$work/sim" --log >"$work/sim.log" 2>&1) &
pids+=($!)
wait_for "$work/sim.log" "plugged in"

/usr/bin/orvellectl info >"$work/ctl.log" 2>&1 || fail "orvellectl info: $(cat "$work/ctl.log")"
/usr/bin/OrvelleConsole >"$work/console.log" 2>&1 &
pids+=($!)
wait_for "$work/sim.log" "GET_LAYOUT"
/usr/bin/Tessaly >"$work/tessaly.log" 2>&1 &
pids+=($!)
wait_for "$work/sim.log" "CAL_BEGIN"
if grep -q "language file" "$work/console.log" "$work/tessaly.log"; then
  fail "a program did not find its pack: $(cat "$work/console.log" "$work/tessaly.log")"
fi
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
wait 2>/dev/null || true
pids=()

dpkg --purge orvelle >/dev/null
for f in "${files[@]}"; do
  [ -e "$f" ] && fail "$f is left after the package was purged"
done
getent group orvelle >/dev/null || fail "purging removed the system group orvelle"
echo "check-installed: installed, ran from /usr/bin and purged: ${#files[@]} files, none left;" \
  "the group orvelle stays"
