#!/usr/bin/env bash
# Figures for a read-out with the real program under Wine: paced at 9600 baud
# (default 16384 characters) and unpaced (default 1048576), then idle.
#   tools/benchmark.sh [PACED_BYTES [UNPACED_BYTES]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
"$root/tools/setup.sh"
"$root/tools/build.sh" >/dev/null
export VORLIX_EXE="$build/vorlix.exe" VXDRIVER_EXE="$build/vxdriver.exe" VX_E2E_WORK="$build/bench"
exec "$build/host/vorlix_bench" "$@"
