#!/bin/sh
# The end-to-end tests' serial cable, in WORK/cable: a socat pty pair, its end
# "com" linked as COM PORT of the Wine prefix, its end "logger" as COM 30 for
# the logger simulator. Plugging pulls the old cable first and leaves no
# other of COM 1 to COM 9; pulling ends socat and takes the links with it, as
# when an adapter is unplugged (a cable that a crashed run left goes too).
#   cable.sh WORK plug PORT
#   cable.sh WORK pull
set -eu
cable="$1/cable"
ports="$WINEPREFIX/dosdevices"
[ ! -f "$cable/socat.pid" ] || kill "$(cat "$cable/socat.pid")" 2>/dev/null || true
rm -f "$cable/socat.pid" "$ports"/com? "$ports/com30"
[ "$2" = plug ] || exit 0
mkdir -p "$cable"
cd "$cable"
rm -f com logger
socat pty,raw,echo=0,link=com pty,raw,echo=0,link=logger >/dev/null 2>&1 &
echo $! >socat.pid
for _ in $(seq 100); do [ -e com ] && [ -e logger ] && break; sleep 0.05; done
[ -e com ] && [ -e logger ] || exit 1
ln -s "$cable/logger" "$ports/com30"
ln -s "$cable/com" "$ports/com$3"
