#!/usr/bin/env bash
# Makes the Windows installer from a staged folder (stage.sh) with NSIS: the
# installer copies the folder as it is, the uninstaller removes those files by
# name, deepest folders first.
# Usage: make-installer.sh STAGE OUTFILE
set -euo pipefail
stage=$(cd "${1:?usage: make-installer.sh STAGE OUTFILE}" && pwd)
out=${2:?usage: make-installer.sh STAGE OUTFILE}
here=$(cd "$(dirname "$0")" && pwd)
version=$(sed -n 's/^project(Orvelle VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")
lists=$(mktemp -d)
trap 'rm -rf "$lists"' EXIT

win() { tr / '\\' <<<"$1"; }
(
  cd "$stage"
  find . -mindepth 1 -type d | sed 's|^\./||' | sort | while read -r dir; do
    printf 'CreateDirectory "$INSTDIR\\%s"\n' "$(win "$dir")"
  done
  find . -type f | sed 's|^\./||' | sort | while read -r file; do
    printf 'File "/oname=%s" "%s"\n' "$(win "$file")" "$stage/$file"
  done
) >"$lists/install.nsh"
(
  cd "$stage"
  find . -type f | sed 's|^\./||' | sort | while read -r file; do
    printf 'Delete "$INSTDIR\\%s"\n' "$(win "$file")"
  done
  find . -mindepth 1 -type d | sed 's|^\./||' | sort -r | while read -r dir; do
    printf 'RMDir "$INSTDIR\\%s"\n' "$(win "$dir")"
  done
) >"$lists/uninstall.nsh"

makensis -V2 -DVERSION="$version" -DOUTFILE="$out" -DINSTALL_LIST="$lists/install.nsh" \
  -DUNINSTALL_LIST="$lists/uninstall.nsh" "$here/orvelle.nsi"
echo "installer: $out, $(du -h "$out" | cut -f1), $(find "$stage" -type f | wc -l) files"
