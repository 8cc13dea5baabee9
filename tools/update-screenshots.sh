#!/usr/bin/env bash
# Takes the user guide's screenshots from the real program, at 96 and at
# 144 DPI (each in a prefix of its own), into docs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
mkdir -p "$root/docs"
VX_E2E_WORK="$build/screens" "$root/tools/drive.sh" Screenshots
VX_E2E_WORK="$build/screens-144" VORLIX_DPI=144 "$root/tools/drive.sh" Screenshots
cp "$build/screens/tests/Tools.Screenshots/"*.png "$root/docs/"
for picture in "$build/screens-144/tests/Tools.Screenshots/"*.png; do
  cp "$picture" "$root/docs/$(basename "$picture" .png)-144dpi.png"
done
ls -l "$root/docs/"*.png
