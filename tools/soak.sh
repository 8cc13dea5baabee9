#!/usr/bin/env bash
# Long use in one program run: the end-to-end tests' repeated use
# (Robustness.RepeatedUse...) with ROUNDS rounds (default 100) after the
# first. The test fails when the program then holds more windows than after
# the first round, or more handles than the registry keys that the file
# chooser left open (Wine's leaves one a round). After the first
# round, every tenth and the last it calls this script back (--probe) with
# its handles and windows; the script adds the memory, threads and open files
# of the program's Linux process, prints a line per call, and fails when
# there are more threads or open files after the last round than after the
# first.
#   tools/soak.sh [ROUNDS]
set -euo pipefail
if [ "${1:-}" = --probe ]; then
  # --probe DIR round N HANDLES WINDOWS, for the vorlix.exe running in DIR
  pid=$("$(dirname "$0")/program-pid.sh" "$2")
  status() { awk -v key="$1:" '$1 == key { print $2 }' "/proc/$pid/status"; }
  rss=$(status VmRSS) peak=$(status VmHWM) threads=$(status Threads)
  files=$(ls "/proc/$pid/fd" | wc -l)
  [ "$rss" -gt 0 ] && [ "$threads" -gt 0 ] && [ "$files" -gt 0 ] || exit 1
  printf 'round %3d: memory %s KB (peak %s KB), handles %d, windows %d, threads %d, open files %d\n' \
    "$4" "$rss" "$peak" "$5" "$6" "$threads" "$files" >>"$VX_E2E_WORK/soak.txt"
  exit
fi
root=$(cd "$(dirname "$0")/.." && pwd)
export VX_ROUNDS="${1:-100}" VX_PROBE="$root/tools/soak.sh" VX_E2E_WORK="${VORLIX_BUILD:-$root/build}/Soak"
mkdir -p "$VX_E2E_WORK"
rm -f "$VX_E2E_WORK/soak.txt"
rc=0
"$root/tools/drive.sh" Soak 'Robustness.RepeatedUse*' || rc=$?
[ ! -e "$VX_E2E_WORK/soak.txt" ] || cat "$VX_E2E_WORK/soak.txt"
# Threads and open files (Wine keeps one behind most handles), after the first round and after the last.
awk -F', threads ' 'NR == 1 { first = $2 } END {
  if (NR < 2) { print "soak: the program was not measured after the first round and the last"; exit 1 }
  if ($2 != first) {
    print "soak: threads and open files after the first round: " first "; after the last: " $2
    exit 1
  }
}' "$VX_E2E_WORK/soak.txt" || rc=1
exit $rc
