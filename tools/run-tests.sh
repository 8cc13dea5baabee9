#!/usr/bin/env bash
# Everything the tests need, then all tests: installs missing packages, builds,
# and runs the unit tests (under Wine) and the end-to-end tests (the real
# program under Wine on Xvfb, against the logger simulator).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
"$root/tools/setup.sh"
"$root/tools/build.sh"

# The unit tests' own display and Wine prefix; the end-to-end tests make theirs.
export WINEPREFIX="$build/wineprefix-unit" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# C.UTF-8 keeps the code page 1252 and lets Wine name files outside it.
export LANG=C.UTF-8
unset LC_ALL
display=70
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$build/xvfb-unit.log" 2>&1 &
xvfb=$!
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$build/e2e/prefix" wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 200); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.05; done
export DISPLAY=":$display"
# Its windows in a virtual desktop too: Wine withdraws a closed dialog at once there.
"$root/tools/wine-prefix.sh" "$WINEPREFIX" "$build/wineboot-unit.log" desktop
# COM 27 is known to the system itself, not only as a link: the unit tests
# find it in the list of ports that a missing port's box gives.
wine reg add 'HKLM\Software\Wine\Ports' /v COM27 /d /dev/null /f >>"$build/wineboot-unit.log" 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w
(setsid wineserver -p >/dev/null 2>&1 &)
# The end-to-end tests' prefix, its windows in a virtual desktop.
mkdir -p "$build/e2e"
"$root/tools/wine-prefix.sh" "$build/e2e/prefix" "$build/e2e/wineboot.log" desktop com7
(WINEPREFIX="$build/e2e/prefix" setsid wineserver -p >/dev/null 2>&1 &)

cd "$build"
ctest --output-on-failure "$@"
