#!/usr/bin/env bash
# The Windows programs, as staged for the installer, under Wine on an X server
# of their own, as a user meets them on a machine without a controller (Wine
# offers no HID device, nor Unix sockets to reach the simulator with): each
# window program starts to its window in both languages and ends cleanly,
# the console's options page writes the log-on Run value and reads it back,
# and orvellectl finds no controller. Pictures go to $ORVELLE_SCREENSHOT_DIR.
# Usage: programs_under_wine.sh STAGE
set -euo pipefail
stage=$(realpath "${1:?usage: programs_under_wine.sh STAGE}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_desktop.sh"
start_wine_desktop
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
console_path=$(winepath -w "$stage/OrvelleConsole.exe")

status=0
wine "$stage/orvellectl.exe" list >/dev/null 2>"$WINE_RUN/ctl.log" || status=$?
[ "$status" -eq 3 ] || fail "orvellectl list ended with $status, not 3: $(cat "$WINE_RUN/ctl.log")"
note "orvellectl list: no controller, status 3"

# start PROGRAM LOG [ARGS]: the program in the background, its id in $started.
start() {
  local program=$1 log=$2
  shift 2
  wine "$stage/$program.exe" "$@" >"$WINE_RUN/$log" 2>&1 &
  started=$!
}
logged() { grep -qF "$2" "$WINE_RUN/$1"; }
wait_logged() { until_true 30 logged "$1" "$2" || fail "$1 never showed \"$2\": $(cat "$WINE_RUN/$1")"; }

# The console, first in English: the options page chooses the log-on start and
# Chinese, and saves; its message boxes are logged, not shown.
ORVELLE_MESSAGE_BOXES=log start OrvelleConsole console-en.log
window=$(wait_window OrvelleConsole)
screenshot "$window" windows-console-en.png
keys "$window" ctrl+Tab ctrl+Tab ctrl+Tab alt+c alt+l
screenshot "$window" windows-console-options-en.png
keys "$window" alt+s
wait_logged console-en.log "Completed successfully"
[ "$(registry_value "$run_key" OrvelleConsole)" = "$console_path" ] ||
  fail "the Run value is \"$(registry_value "$run_key" OrvelleConsole)\", not $console_path"
keys "$window" Escape
wait_exit "$started" 0
note "OrvelleConsole (English): shown, log-on entry written, ended"

# In Chinese from its next start; the page shows the log-on start chosen, so
# its key (Alt+L in both packs) clears it and saving removes the value.
ORVELLE_MESSAGE_BOXES=log start OrvelleConsole console-zh.log
window=$(wait_window OrvelleConsole)
screenshot "$window" windows-console-zh.png
keys "$window" ctrl+Tab ctrl+Tab ctrl+Tab alt+l alt+s
wait_logged console-zh.log "成功"
[ -z "$(registry_value "$run_key" OrvelleConsole)" ] || fail "the Run value was not removed"
keys "$window" Escape
wait_exit "$started" 0
note "OrvelleConsole (Chinese): shown, log-on entry read back and removed, ended"

# says_so_and_ends PROGRAM NAME CAPTION TEXT [ARGS]: without a controller the
# program says so in a message box and ends. Once with the box logged, to
# read its text; once shown, as the user sees it.
says_so_and_ends() {
  local program=$1 name=$2 caption=$3 text=$4
  shift 4
  ORVELLE_MESSAGE_BOXES=log start "$program" "$name.log" "$@"
  wait_exit "$started" 0
  logged "$name.log" "$caption: $text" || fail "$name did not say \"$text\": $(cat "$WINE_RUN/$name.log")"
  ORVELLE_MESSAGE_BOXES= start "$program" "$name-shown.log" "$@"
  window=$(wait_window "$caption")
  screenshot "$window" "windows-$name.png"
  keys "$window" Return
  wait_exit "$started" 0
  note "$program ($name): no controller, said \"$text\", ended"
}
says_so_and_ends Tessaly tessaly-en "Controller Not Found" "No touch controller was found" 0
says_so_and_ends Tessaly tessaly-zh "未找到设备" "未找到设备，请检查 USB 连接" 1
says_so_and_ends OrvelleFactoryConfig2 factory "注意" "设备还没有连接，请检查!"
