#!/usr/bin/env bash
# Runs a Windows test program under Wine. Needs WINEPREFIX (an initialised
# prefix) in the environment. With VORLIX_DPI set, the display has that many
# dots per inch meanwhile.
set -u
: "${WINEPREFIX:?WINEPREFIX must name an initialised Wine prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1; wineserver -w
}
if [ -n "${VORLIX_DPI:-}" ]; then
  set_dpi "$VORLIX_DPI"
  trap 'set_dpi 96' EXIT
fi
# Wine's helper processes (the desktop, services) outlive the test and inherit
# its output: write to a file, so that nobody waits on a pipe they hold open.
output=$(mktemp /tmp/vorlix-test-output.XXXXXX)
wine "$@" >"$output" 2>&1
rc=$?
cat "$output"
rm -f "$output"
exit $rc
