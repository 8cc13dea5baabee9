#!/usr/bin/env bash
# Takes the user guide's screenshots from the real program (the end-to-end
# test Screenshots.OfEveryWindow) and copies them into docs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
"$root/tools/setup.sh"
"$root/tools/build.sh" >/dev/null
export VORLIX_EXE="$build/vorlix.exe" VXDRIVER_EXE="$build/vxdriver.exe" VX_E2E_WORK="$build/screens"
"$build/host/e2e_tests" --gtest_filter='Screenshots.*'
mkdir -p "$root/docs"
cp "$build/screens/screenshots/"*.png "$root/docs/"
ls -l "$root/docs/"*.png
