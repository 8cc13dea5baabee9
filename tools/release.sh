#!/usr/bin/env bash
# Builds the Windows release: dist/vorlix-1.0.0.1.zip with vorlix.exe (the
# stripped one the tests ran) and LIESMICH.txt, German first, then English, in
# code page 1252 with CR LF line ends, so that every Notepad shows its umlauts;
# beside it dist/SHA256SUMS.txt, the SHA-256 of the zip and of the program in
# it, in sha256sum's format (CR LF too), for users to compare with certutil.
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

sums="$root/dist/SHA256SUMS.txt"
{ (cd "$root/dist" && sha256sum "vorlix-$version.zip"); (cd "$stage" && sha256sum "vorlix-$version/vorlix.exe"); } |
  sed 's/$/\r/' >"$sums"

# The zip must hold exactly the program that was built and tested, and the
# sums must fit the zip and the program as it unpacks.
check=$(mktemp -d)
(cd "$check" && cmake -E tar xf "$zip")
cmp "$check/vorlix-$version/vorlix.exe" "$build/vorlix.exe"
cp "$zip" "$check/"
(cd "$check" && sha256sum --check --quiet --strict "$sums")
[ "$(wc -l <"$sums")" -eq 2 ]
# ... and a readme with real umlauts ("L\xF6schen") and nothing but CR LF line ends.
readme="$check/vorlix-$version/LIESMICH.txt"
LC_ALL=C grep -q $'L\xf6schen' "$readme"
[ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ]
rm -rf "$check"
echo "release: $zip"
echo "checksums: $sums"
