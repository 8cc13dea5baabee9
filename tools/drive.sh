#!/usr/bin/env bash
# Runs one of the tools that drive the real program under Wine (the disabled
# cases of the end-to-end test program): MainJob, Benchmark, Soak or
# Screenshots. Their settings come in the environment (VX_...).
#   tools/drive.sh NAME
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
"$root/tools/setup.sh"
"$root/tools/build.sh" >/dev/null
export VORLIX_EXE="$build/vorlix.exe" VXDRIVER_EXE="$build/vxdriver.exe"
export VX_E2E_WORK="${VX_E2E_WORK:-$build/$1}"
exec "$build/host/e2e_tests" --gtest_also_run_disabled_tests --gtest_filter="Tools.DISABLED_$1"
