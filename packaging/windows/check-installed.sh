#!/usr/bin/env bash
# The Windows installer under Wine, as a user runs it: a silent install (/S)
# into a fresh prefix, which leaves the system's language as every user's
# default; the installed console starts and ends; and the silent uninstall
# removes every file it brought, that default and the console's log-on entry:
# the prefix's files are counted before the install and after the uninstall.
# Usage: check-installed.sh INSTALLER
set -euo pipefail
installer=$(realpath "${1:?usage: check-installed.sh INSTALLER}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/windows/wine_desktop.sh"
start_wine_desktop

drive="$WINEPREFIX/drive_c"
folder="$drive/Program Files/Orvelle"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvelle"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
language_key='HKLM\Software\Orvelle\GlobalSettings'
files() { find "$drive" -type f | sort; }
files >"$WINE_RUN/before"

start=$SECONDS
wine "$installer" /S || fail "the silent install failed"
wineserver --wait
note "installed in $((SECONDS - start)) s: $(find "$folder" -type f | wc -l) files, $(du -sh "$folder" | cut -f1)"
for program in OrvelleConsole Tessaly OrvelleFactoryConfig2 orvellectl; do
  [ -f "$folder/$program.exe" ] || fail "$program.exe was not installed"
done
for entry in OrvelleConsole Tessaly "Uninstall Orvelle"; do
  [ -f "$menu/$entry.lnk" ] || fail "no Start-menu entry $entry"
done
# Wine's system language here is English.
[ "$(registry_value "$language_key" Language)" = dword:00000000 ] ||
  fail "the installer left the language \"$(registry_value "$language_key" Language)\", not English"

# The installed console as a user starts it: it says that no controller is
# connected, shows its window, and its options page writes the log-on entry,
# which the uninstaller must remove. Its boxes are shown and answered.
wine "$folder/OrvelleConsole.exe" >"$WINE_RUN/console.log" 2>&1 &
console=$!
answer Error
window=$(wait_window OrvelleConsole)
# The configuration and calibration pages read the controller when shown.
keys "$window" ctrl+Tab
answer Error
keys "$window" ctrl+Tab
answer Error
keys "$window" ctrl+Tab alt+l alt+s
answer Information  # "Completed successfully."
until_true 30 test -n "$(registry_value "$run_key" OrvelleConsole)" ||
  fail "the installed console wrote no log-on entry"
keys "$window" Escape
wait_exit "$console" 0
note "the installed console started, wrote its log-on entry and ended"

wine "$folder/Uninstall.exe" /S || fail "the silent uninstall failed"
wineserver --wait
# The uninstaller runs from a copy of itself in the temporary folder, which
# Windows deletes when it next starts: so does Wine's restart.
wineboot --restart >/dev/null 2>&1
wineserver --wait
files >"$WINE_RUN/after"
left=$(comm -13 "$WINE_RUN/before" "$WINE_RUN/after")
note "files in the prefix: $(wc -l <"$WINE_RUN/before") before installing, $(wc -l <"$WINE_RUN/after") after uninstalling"
[ -z "$left" ] || fail "the uninstaller left $(wc -l <<<"$left") files: $left"
[ ! -e "$folder" ] || fail "the uninstaller left $folder"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu folder"
[ -z "$(registry_value "$run_key" OrvelleConsole)" ] || fail "the log-on entry is still there"
[ -z "$(registry_value "$language_key" Language)" ] || fail "the installation's language is still there"
note "the uninstaller left no file, no log-on entry and no language"
