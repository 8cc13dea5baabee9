#!/usr/bin/env bash
# Takes the user guide's screenshots from the real program, at 96 and at
# 144 DPI (each in a prefix of its own), into docs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
mkdir -p "$root/docs"
VX_E2E_WORK="$build/screens" "$root/tools/drive.sh" Screenshots
VX_E2E_WORK="$build/screens-144" VORLIX_DPI=144 "$root/tools/drive.sh" Screenshots
cp "$build/screens/screenshots/"*.png "$build/screens-144/screenshots/"*.png "$root/docs/"
ls -l "$root/docs/"*.png
