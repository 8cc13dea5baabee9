#!/usr/bin/env bash
# Makes a Wine prefix as Vorlix's tools and tests use it, or completes one
# made by them before: initialised, and with Windows' dialog font
# "MS Sans Serif" (in its sizes for 96 DPI and for larger displays, as Windows
# has them) and the caption buttons' Marlett in its Fonts folder.
# Wine looks for them only there, and without them draws every dialog in a
# much wider font: "Version 1.01" shows as "Version", the close box as "r".
# With "desktop", every window of the prefix opens in one virtual desktop:
# Wine then draws title bars, and a window closes in 20 ms, not in 2 s.
# With "com7", the system's serial-port map lists a COM 7 (on /dev/null until
# a test links it to its cable): the port offered when the stored one is gone.
#   tools/wine-prefix.sh PREFIX [LOG] [desktop] [com7]
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX [LOG] [desktop] [com7]}
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
restart=0
if [[ " ${*:3} " == *" desktop "* ]] && ! grep -qs '"Desktop"="Default"' "$prefix/user.reg"; then
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >>"$log" 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1000x700 /f >>"$log" 2>&1
  restart=1
fi
if [[ " ${*:3} " == *" com7 "* ]] && ! grep -qs '"COM7"' "$prefix/system.reg"; then
  wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /d /dev/null /f >>"$log" 2>&1
  restart=1
fi
[ "$restart" = 0 ] || { wineserver -k; wineserver -w; }
