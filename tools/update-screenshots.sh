#!/usr/bin/env bash
# Takes the user guide's screenshots from the real program (the end-to-end
# test Screenshots.OfEveryWindow), at 96 and at 144 DPI, into docs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
"$root/tools/setup.sh"
"$root/tools/build.sh" >/dev/null
export VORLIX_EXE="$build/vorlix.exe" VXDRIVER_EXE="$build/vxdriver.exe"
mkdir -p "$root/docs"
# At 96 DPI (100 %), and at 144 DPI (150 %) in a prefix of its own.
VX_E2E_WORK="$build/screens" "$build/host/e2e_tests" --gtest_filter='Screenshots.*'
cp "$build/screens/screenshots/"*.png "$root/docs/"
VX_E2E_WORK="$build/screens-144" VX_E2E_DPI=144 "$build/host/e2e_tests" --gtest_filter='Screenshots.*'
cp "$build/screens-144/screenshots/"*.png "$root/docs/"
ls -l "$root/docs/"*.png
