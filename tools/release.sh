#!/usr/bin/env bash
# Builds the Windows release: dist/vorlix-1.0.0.1.zip with vorlix.exe and a
# short plain-text readme (ASCII, CR LF line ends, so Notepad shows it well).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLIX_BUILD:-$root/build}"
version=1.0.0.1
"$root/tools/setup.sh"
"$root/tools/build.sh" >/dev/null

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/vorlix-$version"
cp "$build/vorlix.exe" "$stage/vorlix-$version/"
sed 's/$/\r/' "$root/tools/release/LIESMICH.txt" >"$stage/vorlix-$version/LIESMICH.txt"
mkdir -p "$root/dist"
zip="$root/dist/vorlix-$version.zip"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip "vorlix-$version")

# The zip must hold exactly the program that was built and tested.
check=$(mktemp -d)
(cd "$check" && cmake -E tar xf "$zip")
cmp "$check/vorlix-$version/vorlix.exe" "$build/vorlix.exe"
rm -rf "$check"
echo "release: $zip"
