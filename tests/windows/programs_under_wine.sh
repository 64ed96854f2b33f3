#!/usr/bin/env bash
# The Windows programs, as staged for the installer, under Wine on an X server
# of their own, as a user meets them. First on a machine without a controller
# (Wine offers no HID device): each window program starts to its window in
# both languages and ends cleanly; the console starts in the language an
# installation left for every user, and its options page saves the user's own
# language and log-on Run value, which it reads back; orvellectl finds no
# controller. Then with orvelle-sim.exe running: orvellectl reads it, the
# console fills its information page and applies its configuration page,
# Tessaly calibrates with the simulator touching the targets, and the factory
# tool sets the touch count. Pictures go to $ORVELLE_SCREENSHOT_DIR.
# Usage: programs_under_wine.sh STAGE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_desktop.sh"
# From a folder named in Chinese, as a user may choose: the paths the programs
# hand to Windows (the log-on entry) must survive it.
stage="$WINE_RUN/程序"
cp -r "$(realpath "${1:?usage: programs_under_wine.sh STAGE}")" "$stage"
start_wine_desktop
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='Software\Orvelle\GlobalSettings'
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

# As an installation in Chinese leaves it: every user's language until the
# user chooses one. The programs write only the user's settings.
wine reg add "HKLM\\$settings_key" /v Language /t REG_DWORD /d 1 /reg:64 /f >/dev/null 2>&1

# The console, first in the installation's Chinese: the options page chooses
# English and the log-on start, and saves; its message boxes are logged.
ORVELLE_MESSAGE_BOXES=log start OrvelleConsole console-zh.log
window=$(wait_window OrvelleConsole)
screenshot "$window" windows-console-zh.png
keys "$window" ctrl+Tab ctrl+Tab ctrl+Tab alt+e alt+l alt+s
wait_logged console-zh.log "成功"
[ "$(registry_value "$run_key" OrvelleConsole)" = "$console_path" ] ||
  fail "the Run value is \"$(registry_value "$run_key" OrvelleConsole)\", not $console_path"
[ "$(registry_value "HKCU\\$settings_key" Language)" = dword:00000000 ] ||
  fail "the user's language is \"$(registry_value "HKCU\\$settings_key" Language)\", not English"
[ "$(registry_value "HKLM\\$settings_key" Language)" = dword:00000001 ] ||
  fail "the machine's language changed"
keys "$window" Escape
wait_exit "$started" 0
note "OrvelleConsole (the installation's Chinese): shown, English and the log-on entry saved, ended"

# In English from its next start, the user's choice; the page shows the log-on
# start chosen, so its key (Alt+L in both packs) clears it and saving removes
# the value.
ORVELLE_MESSAGE_BOXES=log start OrvelleConsole console-en.log
window=$(wait_window OrvelleConsole)
screenshot "$window" windows-console-en.png
keys "$window" ctrl+Tab ctrl+Tab ctrl+Tab
screenshot "$window" windows-console-options-en.png
keys "$window" alt+l alt+s
wait_logged console-en.log "Completed successfully"
[ -z "$(registry_value "$run_key" OrvelleConsole)" ] || fail "the Run value was not removed"
keys "$window" Escape
wait_exit "$started" 0
note "OrvelleConsole (English): shown, log-on entry read back and removed, ended"

# says_so_and_ends PROGRAM NAME [ARGS] -- BOX...: without a controller the
# program says so in message boxes, each BOX "CAPTION: TEXT", and ends. Once
# with the boxes logged, to read their texts; once shown, as the user sees
# them, each answered in turn (the first one's picture kept).
says_so_and_ends() {
  local program=$1 name=$2 args=() box shot
  shift 2
  while [ "$1" != -- ]; do args+=("$1"); shift; done
  shift
  ORVELLE_MESSAGE_BOXES=log start "$program" "$name.log" "${args[@]}"
  wait_exit "$started" 0
  for box in "$@"; do
    logged "$name.log" "$box" || fail "$name did not say \"$box\": $(cat "$WINE_RUN/$name.log")"
  done
  ORVELLE_MESSAGE_BOXES= start "$program" "$name-shown.log" "${args[@]}"
  shot="windows-$name.png"
  for box in "$@"; do
    answer "${box%%: *}" "$shot"
    shot=
  done
  wait_exit "$started" 0
  note "$program ($name): no controller, said \"${1#*: }\" and $(($# - 1)) more, ended"
}
says_so_and_ends Tessaly tessaly-en 0 -- \
  "Controller Not Found: No touch controller was found" \
  "Error: The touch controller is not connected. Nothing was sent."
says_so_and_ends Tessaly tessaly-zh 1 -- "未找到设备: 未找到设备，请检查 USB 连接" "错误: 设备未连接，命令未发送。"
says_so_and_ends OrvelleFactoryConfig2 factory -- "注意: 设备还没有连接，请检查!"

# With a controller: orvelle-sim as a user starts it beside the programs, in
# its own default folder, which every program finds with nothing to pass. Its
# commands come through a FIFO; it logs every frame.
mkfifo "$WINE_RUN/sim.in"
wine "$stage/orvelle-sim.exe" --log <"$WINE_RUN/sim.in" >"$WINE_RUN/sim.log" 2>&1 &
sim=$!
exec 7>"$WINE_RUN/sim.in"
sim_does() { printf '%s\n' "$*" >&7; }
wait_logged sim.log "plugged in at"
times() { grep -cF "$2" "$WINE_RUN/$1" || true; }
reached() { [ "$(times "$1" "$2")" -ge "$3" ]; }
wait_times() {
  until_true 30 reached "$@" ||
    fail "$1 showed \"$2\" $(times "$1" "$2") times, not $3: $(tail -n 20 "$WINE_RUN/$1")"
}

wine "$stage/orvellectl.exe" info >"$WINE_RUN/ctl-info.log" 2>&1 ||
  fail "orvellectl info: $(cat "$WINE_RUN/ctl-info.log")"
logged ctl-info.log "model:       OVT-6510" || fail "orvellectl info: $(cat "$WINE_RUN/ctl-info.log")"
note "orvellectl info: $(head -n 1 "$WINE_RUN/ctl-info.log")"

# The console reads the controller onto its information page; the
# configuration page's Apply writes what the page read and reads it back.
ORVELLE_MESSAGE_BOXES=log start OrvelleConsole console-sim.log 0
window=$(wait_window OrvelleConsole)
wait_logged sim.log "GET_LAYOUT"
screenshot "$window" windows-console-controller-info.png
keys "$window" ctrl+Tab
wait_times sim.log "in  07 14 01 01 FF" 1
screenshot "$window" windows-console-controller-config.png
keys "$window" alt+a
wait_logged console-sim.log "Completed successfully"
logged sim.log "in  07 14 05 02 " || fail "Apply wrote no CFG_14: $(tail -n 20 "$WINE_RUN/sim.log")"
wait_times sim.log "in  07 14 01 01 FF" 2
keys "$window" Escape
wait_exit "$started" 0
note "OrvelleConsole with the controller: information read, configuration applied and read back"

# Tessaly calibrates with the simulator touching each target; OK keeps it.
ORVELLE_MESSAGE_BOXES=log start Tessaly tessaly-sim.log 0
window=$(wait_window Tessaly)
wait_logged sim.log "CAL_BEGIN"
sim_does targets
wait_logged sim.log "CAL_SET_POINTS"
screenshot "$window" windows-tessaly-calibrated.png
keys "$window" Return
wait_logged sim.log "in  06 05 01 01 FF  CAL_END"
wait_exit "$started" 0
note "Tessaly with the controller: every target touched, the result written and kept"

# The factory tool sets four touch points in its dialog, clicked as a user does.
ORVELLE_MESSAGE_BOXES=log start OrvelleFactoryConfig2 factory-sim.log
window=$(wait_window 红外触摸屏工厂配置工具)
keys "$window" Tab space
dialog=$(wait_window 触点个数设置)
wait_logged sim.log "in  07 11 01 03 FF  TOUCH_SETTINGS"
screenshot "$dialog" windows-factory-touch-count.png
# At points of the dialog's own layout (295 x 172 units): "4点", then OK.
eval "$(xdotool getwindowgeometry --shell "$dialog")"
for point in "58 69" "105 146"; do
  read -r x y <<<"$point"
  xdotool mousemove --window "$dialog" $((x * WIDTH / 295)) $((y * HEIGHT / 172)) click 1
done
wait_logged sim.log "in  07 11 02 04 04 FF  TOUCH_SETTINGS"
wait_logged factory-sim.log "注意: 设置成功!"
keys "$window" Escape
wait_exit "$started" 0
note "OrvelleFactoryConfig2 with the controller: four touch points set"

sim_does quit
wait_exit "$sim" 0
