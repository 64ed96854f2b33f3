#!/usr/bin/env bash
# Gathers the Windows programs into one folder that runs as it is: the
# programs, their language packs, the Qt libraries and plugins they load and
# the MinGW runtime those need (what windeployqt gathers on Windows).
# Usage: stage.sh BUILD_BIN QT_PREFIX STAGE
set -euo pipefail
bin=${1:?usage: stage.sh BUILD_BIN QT_PREFIX STAGE}
qt=${2:?usage: stage.sh BUILD_BIN QT_PREFIX STAGE}
stage=${3:?usage: stage.sh BUILD_BIN QT_PREFIX STAGE}
triple=x86_64-w64-mingw32

rm -rf "$stage"
mkdir -p "$stage"
for program in OrvelleConsole Tessaly OrvelleFactoryConfig2 orvellectl orvelle-sim; do
  cp "$bin/$program.exe" "$stage/"
done
cp "$bin"/*.rcc "$stage/"
# The programs find plugins in these folders beside them. Only Windows'
# platform and the styles are needed (as windeployqt gathers them): the packs'
# pictures are PNG, which Qt reads itself.
mkdir -p "$stage/platforms" "$stage/styles"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles"/*.dll "$stage/styles/"

# Every DLL that a program or a plugin imports, and theirs in turn, from Qt
# or the compiler's runtime; the rest are Windows' own.
runtime_dirs=("$qt/bin")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  runtime_dirs+=("$(dirname "$("$triple-g++-posix" -print-file-name="$dll")")")
done
imports() { "$triple-objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
queue=("$stage"/*.exe "$stage"/*/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r name; do
    [ -e "$stage/$name" ] && continue
    for dir in "${runtime_dirs[@]}"; do
      if [ -e "$dir/$name" ]; then
        cp "$dir/$name" "$stage/$name"
        queue+=("$stage/$name")
        break
      fi
    done
  done < <(imports "$file")
done
# Release libraries carry no debug symbols in an installer.
"$triple-strip" --strip-unneeded "$stage"/*.dll "$stage"/*/*.dll
echo "staged $(find "$stage" -type f | wc -l) files, $(du -sh "$stage" | cut -f1), in $stage"
