#!/usr/bin/env bash
# Builds the Windows release: dist/vorlix-1.0.0.1.zip with vorlix.exe (the
# stripped one the tests ran) and LIESMICH.txt, German first, then English, in
# code page 1252 with CR LF line ends, so that every Notepad shows its umlauts.
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
iconv -f UTF-8 -t CP1252 "$root/tools/release/LIESMICH.txt" | sed 's/$/\r/' >"$stage/vorlix-$version/LIESMICH.txt"
mkdir -p "$root/dist"
zip="$root/dist/vorlix-$version.zip"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip "vorlix-$version")

# The zip must hold exactly the program that was built and tested.
check=$(mktemp -d)
(cd "$check" && cmake -E tar xf "$zip")
cmp "$check/vorlix-$version/vorlix.exe" "$build/vorlix.exe"
# ... and a readme with real umlauts ("L\xF6schen") and nothing but CR LF line ends.
readme="$check/vorlix-$version/LIESMICH.txt"
LC_ALL=C grep -q $'L\xf6schen' "$readme"
[ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ]
rm -rf "$check"
echo "release: $zip"
