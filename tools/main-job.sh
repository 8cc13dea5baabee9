#!/usr/bin/env bash
# The main job: builds Vorlix and reads out the built-in simulated logger with
# the real program under Wine.
#  - With a display ($DISPLAY set): the program opens on it, the simulator
#    waits on COM 2; click Read and name a file. Close the window to finish.
#  - Without one: everything runs on a private Xvfb; the read-out is done
#    through the program's windows, leaving out/messwerte.txt and out/screenshot.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
out="${VORLIX_OUT:-$root/out}"
"$root/tools/setup.sh"
"$root/tools/build.sh" >/dev/null
mkdir -p "$out"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ -z "${DISPLAY:-}" ]; then
  export VX_LINES="${VORLIX_LINES:-400}" VX_E2E_WORK="$build/MainJob"
  echo "main job: reading out $VX_LINES records from the simulated logger..."
  "$root/tools/drive.sh" MainJob
  cp "$VX_E2E_WORK/tests/Tools.MainJob/messwerte.txt" "$VX_E2E_WORK/tests/Tools.MainJob/screenshot.png" "$out/"
  echo "main job: $out/messwerte.txt ($(wc -c <"$out/messwerte.txt") bytes), $out/screenshot.png"
  exit
fi

# A prefix of its own, never the user's: its COM 2 is the simulator's cable.
export WINEPREFIX="$build/wineprefix-main"
"$root/tools/wine-prefix.sh" "$WINEPREFIX" "$build/wineboot-main.log"
cable=$(mktemp -d /tmp/vorlix-cable.XXXXXX)
socat pty,raw,echo=0,link="$cable/com" pty,raw,echo=0,link="$cable/logger" 2>/dev/null &
socat_pid=$!
for _ in $(seq 100); do [ -e "$cable/com" ] && [ -e "$cable/logger" ] && break; sleep 0.05; done
# Wine rebuilds its COM links from this key whenever it starts.
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /d "$cable/com" /f >>"$build/wineboot-main.log" 2>&1
wineserver -k; wineserver -w
"$build/host/loggersim" "$cable/logger" --lines "${VORLIX_LINES:-400}" --log "$out/logger-received.bin" &
sim_pid=$!
trap 'kill $sim_pid $socat_pid 2>/dev/null; rm -rf "$cable"' EXIT
echo "main-job: the simulated logger waits on COM 2; the program starts in $out"
(cd "$out" && wine "$build/vorlix.exe")
