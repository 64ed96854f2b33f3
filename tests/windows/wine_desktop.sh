# Sourced by the scripts that run the Windows programs under Wine: an X server
# and a Wine prefix of the run's own, removed at the end, and windows found and
# driven with xdotool as a user would. Every wait ends at a deadline that fails.

WINE_RUN=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-wine-desktop.XXXXXX")
# No Mono or Gecko prompts, and no menu entries of the installer copied into
# the desktop of the user running the tests.
export WINEPREFIX="$WINE_RUN/prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }
note() { printf '%s\n' "$*" >&2; }

end_wine_desktop() {
  wineserver --kill >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WINE_RUN"
}
trap end_wine_desktop EXIT

# until SECONDS COMMAND...: true once the command succeeds, false at the deadline.
until_true() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

# Xvfb picks a free display and writes its number once it accepts clients.
start_wine_desktop() {
  Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$WINE_RUN/display" \
    2>"$WINE_RUN/xvfb.log" &
  XVFB_PID=$!
  until_true 20 grep -q '^[0-9]' "$WINE_RUN/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$WINE_RUN/display")"
  wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
  # Windows' dialog font is Wine's Tahoma, which Wine may not find: it then
  # takes the first face it has, on some machines a mathematical one in which
  # Qt draws no text in fields. A face every machine with fontconfig has.
  local face
  for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v "$face" /d "DejaVu Sans" /f >/dev/null 2>&1 || fail "the font substitute was not set"
  done
}

# The mapped window of exactly this title, or nothing.
window_of() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_of "$1")" ]; }
no_window() { [ -z "$(window_of "$1")" ]; }
wait_window() { until_true 90 has_window "$1" || fail "no window \"$1\""; window_of "$1"; }

# answer CAPTION [PICTURE]: the box of this caption, once shown, answered
# with Return (its picture taken first when named), and gone.
answer() {
  local window
  window=$(wait_window "$1")
  [ -n "${2:-}" ] && screenshot "$window" "$2"
  keys "$window" Return
  until_true 30 not_shown "$1" "$window" || fail "the box \"$1\" stayed"
}
not_shown() { [ "$(window_of "$1")" != "$2" ]; }

keys() {
  local window=$1
  shift
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  xdotool key --delay 100 "$@"
}

# screenshot WINDOW NAME: into $ORVELLE_SCREENSHOT_DIR when it is set.
screenshot() {
  [ -n "${ORVELLE_SCREENSHOT_DIR:-}" ] || return 0
  command -v import >/dev/null || fail "ORVELLE_SCREENSHOT_DIR is set but ImageMagick's import is missing"
  sleep 1  # a window just mapped or changed may not have painted yet
  import -window "$1" "$ORVELLE_SCREENSHOT_DIR/$2"
}

# wait_exit PID STATUS: the program ends, with this status.
wait_exit() {
  until_true 30 bash -c "! kill -0 $1 2>/dev/null" || fail "process $1 did not end"
  local status=0
  wait "$1" || status=$?
  [ "$status" -eq "$2" ] || fail "process $1 ended with $status, not $2"
}

# The 64-bit registry's value as its export writes it: a text without its
# quotes, else "dword:..."; or nothing. Read from an export, which is UTF-16:
# reg query prints in the console's code page, where Chinese is lost.
registry_value() {
  local file="$WINE_RUN/export.reg"
  rm -f "$file"
  wine reg export "$1" "$(winepath -w "$file")" /reg:64 /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | sed -n "s/^\"$2\"=//p" |
    sed 's/^"\(.*\)"$/\1/; s/\\\\/\\/g; s/\\"/"/g'
}
