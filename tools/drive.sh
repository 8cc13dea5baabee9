#!/usr/bin/env bash
# Runs a case that drives the real program under Wine as the end-to-end
# tests do, on a display and in a Wine prefix of its own (in build/NAME): the
# case Tools.NAME of build/tests/drive_tools.exe (MainJob, Benchmark,
# ChartBenchmark, Screenshots), or with FILTER the cases FILTER of the end-to-end tests
# (build/tests/e2e_tests.exe). Their settings come in the environment
# (VX_..., VORLIX_DPI).
#   tools/drive.sh NAME [FILTER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
"$root/tools/setup.sh"
"$root/tools/build.sh" >/dev/null
export VX_E2E_WORK="${VX_E2E_WORK:-$build/$1}"
export WINEPREFIX="$VX_E2E_WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# C.UTF-8 keeps the code page 1252 and lets Wine name files outside it.
export LANG=C.UTF-8
unset LC_ALL
mkdir -p "$VX_E2E_WORK"
program=drive_tools filter="Tools.$1"
[ $# -lt 2 ] || program=e2e_tests filter="$2"
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  "$0/tools/wine-prefix.sh" "$WINEPREFIX" "$VX_E2E_WORK/wineboot.log" desktop com7
  (setsid wineserver -p >/dev/null 2>&1 &)
  "$0/tools/wine-test-run.sh" "$1" --gtest_filter="$2"
  rc=$?
  wineserver -k
  exit $rc' "$root" "$build/tests/$program.exe" "$filter"
