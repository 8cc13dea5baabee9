#!/bin/sh
# Checks the import table of vorlix.exe: Windows' own DLLs and nothing else,
# and none of the calls that antivirus heuristics take for code injection.
#   tools/check-imports.sh OBJDUMP EXE
# Prints the DLLs and any forbidden call; fails on either kind of fault.
set -eu
objdump=$1 exe=$2
expected="ADVAPI32.DLL COMCTL32.DLL COMDLG32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL"
forbidden="SuspendThread GetThreadContext SetThreadContext OpenProcess DuplicateHandle"
table=$("$objdump" -p "$exe")
dlls=$(printf '%s\n' "$table" | sed -n 's/^.*DLL Name: //p' | tr a-z A-Z | sort | tr '\n' ' ' | sed 's/ $//')
echo "DLLs: $dlls"
status=0
[ "$dlls" = "$expected" ] || { echo "expected: $expected"; status=1; }
for name in $forbidden; do
  if printf '%s\n' "$table" | grep -Eq "^[[:space:]]+[0-9a-fA-F]+[[:space:]]+[0-9]+[[:space:]]+$name\$"; then
    echo "forbidden import: $name"; status=1
  fi
done
[ "$status" = 0 ] && echo "imports: as expected"
exit $status
