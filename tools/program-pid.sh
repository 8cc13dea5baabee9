#!/bin/sh
# The Linux process of the vorlix.exe that runs in DIR: Wine runs a Windows
# program in a Linux process named after it, in its working directory. Fails
# when there is none.
#   tools/program-pid.sh DIR
for p in $(pgrep -x vorlix.exe); do
  [ "$(readlink "/proc/$p/cwd")" != "$1" ] || { echo "$p"; exit 0; }
done
exit 1
