#!/usr/bin/env bash
# Figures for a read-out with the real program under Wine: paced at 9600 baud
# (default 16384 characters) and unpaced (default 1048576), idle, an erase,
# and the writes to the table in a read-out of 32768 characters. The drive
# tool (Tools.Benchmark) works the program and times it; at its marks it
# calls this script back (--probe), which reads what only Linux tells of the
# program's own process: its CPU from /proc/PID/stat, its peak memory, its
# writes through strace. A figure that cannot be measured fails.
# With "chart": the chart's figures instead (Tools.ChartBenchmark).
#   tools/benchmark.sh [PACED_BYTES [UNPACED_BYTES]]
#   tools/benchmark.sh chart
set -euo pipefail
if [ "${1:-}" = --probe ]; then
  # --probe DIR WHAT [ARGS], for the vorlix.exe running in DIR; the figures go to benchmark.txt.
  dir=$2 what=$3
  shift 3
  pid=$("$(dirname "$0")/program-pid.sh" "$dir")
  # utime and stime in 1/100 s: the 12th and 13th fields after the name in parentheses, which may hold blanks.
  cpu() { sed 's/.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 }'; }
  case $what in
    cpu-from) cpu >"$dir/cpu-from" ;;
    cpu-to)  # NAME [CHARS]: the CPU since cpu-from
      seconds=$(awk -v from="$(cat "$dir/cpu-from")" -v to="$(cpu)" \
        'BEGIN { if (from == "" || to < from) exit 1; printf "%.3f", (to - from) / 100 }')
      case $1 in
        idle) echo "idle     CPU over 10 s with the port open: $seconds s" ;;
        redraw) awk -v s="$seconds" -v n="$2" 'BEGIN { printf "chart    CPU per redraw: %.1f ms\n", s * 1000 / n }' ;;
        erase) echo "erase    CPU from Delete to the command sent" \
             "(the pause to the next second included): $seconds s" ;;
        *) awk -v name="$1" -v chars="$2" -v s="$seconds" \
             'BEGIN { printf "%-8s %8d chars: CPU %.4f s per 1000 chars\n", name, chars, s * 1000 / chars }' ;;
      esac ;;
    rss-from) awk '$1 == "VmRSS:" { print $2 }' "/proc/$pid/status" >"$dir/rss-from" ;;
    rss-to)  # LINES: the peak memory beyond rss-from, per line
      awk -v from="$(cat "$dir/rss-from")" -v lines="$1" '$1 == "VmHWM:" { found = 1; printf "chart    %7d rows: " \
        "peak memory %d KB, %d KB more than before = %.1f bytes per reading\n", lines, $2, $2 - from, \
        ($2 - from) * 1024 / lines } END { exit !found || from == "" }' "/proc/$pid/status" ;;
    memory)
      awk '$1 == "VmHWM:" { print "memory   peak " $2 " KB"; found = 1 } END { exit !found }' "/proc/$pid/status" ;;
    trace)  # from here on, once its log has begun: the program's threads write to the server all the time
      strace -f -y -qq -e trace=write,pwrite64,writev,pwritev -o "$dir/strace.log" -p "$pid" >/dev/null 2>&1 &
      echo $! >"$dir/strace.pid"
      for _ in $(seq 80); do [ -s "$dir/strace.log" ] && break; sleep 0.05; done
      [ -s "$dir/strace.log" ] || exit 1 ;;
    writes)  # FILE CHARS: strace ended, and its writes to FILE counted
      tracer=$(cat "$dir/strace.pid")
      kill -INT "$tracer"
      while kill -0 "$tracer" 2>/dev/null; do sleep 0.05; done
      writes=$(grep -cF "<$dir/$1>" "$dir/strace.log")
      awk -v writes="$writes" -v chars="$2" 'BEGIN { printf "writes   %8d chars at 9600 baud: " \
        "%d writes to the table = %.1f per 1000 chars\n", chars, writes, writes * 1000 / chars }' ;;
  esac >>"$VX_E2E_WORK/benchmark.txt"
  exit
fi
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = chart ]; then
  export VX_PROBE="$root/tools/benchmark.sh" VX_E2E_WORK="${VORLIX_BUILD:-$root/build}/ChartBenchmark"
  mkdir -p "$VX_E2E_WORK"
  rm -f "$VX_E2E_WORK/benchmark.txt"
  "$root/tools/drive.sh" ChartBenchmark
  cat "$VX_E2E_WORK/benchmark.txt"
  exit
fi
export VX_PACED="${1:-16384}" VX_UNPACED="${2:-1048576}" VX_PROBE="$root/tools/benchmark.sh"
export VX_E2E_WORK="${VORLIX_BUILD:-$root/build}/Benchmark"
mkdir -p "$VX_E2E_WORK"
rm -f "$VX_E2E_WORK/benchmark.txt"
"$root/tools/drive.sh" Benchmark
cat "$VX_E2E_WORK/benchmark.txt"
