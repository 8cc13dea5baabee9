#!/usr/bin/env bash
# Long use in one program run: RUNS read-outs and erases (default 100), with
# the process's memory and handle counts along the way.
#   tools/soak.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
"$root/tools/setup.sh"
"$root/tools/build.sh" >/dev/null
export VORLIX_EXE="$build/vorlix.exe" VXDRIVER_EXE="$build/vxdriver.exe" VX_E2E_WORK="$build/soak"
exec "$build/host/vorlix_soak" "$@"
