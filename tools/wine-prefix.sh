#!/usr/bin/env bash
# Makes a Wine prefix as Vorlix's tools and tests use it, or completes one
# made by them before: initialised, and with Windows' dialog font
# "MS Sans Serif" (in its sizes for 96 DPI and for larger displays, as Windows
# has them) and the caption buttons' Marlett in its Fonts folder.
# Wine looks for them only there, and without them draws every dialog in a
# much wider font: "Version 1.01" shows as "Version", the close box as "r".
#   tools/wine-prefix.sh PREFIX [LOG]
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX [LOG]}
log=${2:-/dev/null}
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -e "$prefix/system.reg" ]; then
  wineboot -i >>"$log" 2>&1
fi
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
for font in sserife.fon sseriff.fon marlett.ttf; do
  [ -e "$fonts/$font" ] || cp "/usr/share/wine/fonts/$font" "$fonts/$font"
done
