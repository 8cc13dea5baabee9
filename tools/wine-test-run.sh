#!/usr/bin/env bash
# Runs a Windows test program under Wine with a fresh virtual cable: COM11
# and COM12 are the two ends of a socat pty pair. Needs WINEPREFIX (an initialised prefix) in the environment.
# With VORLIX_DPI set, the display has that many dots per inch meanwhile.
set -u
: "${WINEPREFIX:?WINEPREFIX must name an initialised Wine prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
dir=$(mktemp -d /tmp/vorlix-cables.XXXXXX)
pids=()
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1; wineserver -w
}
cleanup() {
  [ -n "${VORLIX_DPI:-}" ] && set_dpi 96
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  for n in 11 12; do rm -f "$WINEPREFIX/dosdevices/com$n"; done
  rm -rf "$dir"
}
trap cleanup EXIT
[ -n "${VORLIX_DPI:-}" ] && set_dpi "$VORLIX_DPI"

socat pty,raw,echo=0,link="$dir/a" pty,raw,echo=0,link="$dir/b" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -e "$dir/a" ] && [ -e "$dir/b" ] && break; sleep 0.02; done
ln -sfn "$dir/a" "$WINEPREFIX/dosdevices/com11"
ln -sfn "$dir/b" "$WINEPREFIX/dosdevices/com12"
# Wine's helper processes (the desktop, services) outlive the test and inherit
# its output: write to a file, so that nobody waits on a pipe they hold open.
wine "$@" >"$dir/output.log" 2>&1
rc=$?
cat "$dir/output.log"
exit $rc
