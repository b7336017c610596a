#!/usr/bin/env bash
# Settings saved by the options dialog survive the Today screen being killed
# the moment after OK, and a restart of Wine's server.
set -euo pipefail
device=$1
root=$2
bin=$3
run() { "$device" --root "$root" --bin "$bin" "$@"; }

run reg delete 'HKCU\Software\Orvik\Mesolune' /f >/dev/null 2>&1 || true

run today --options Mesolune >/dev/null 2>&1 &
today=$!
run options_clicker.exe
wait "$today" || true

# The server goes down and comes back; what it had must be on disk.
run server -k || true
run server -w
stored=$(run reg query 'HKCU\Software\Orvik\Mesolune' 2>/dev/null | tr -d '\r')
# The session's server again, for the tests after this one.
if [ -n "${DEVICE_SESSION:-}" ]; then
    run server -k 2>/dev/null || true
    run server -w
    run server -p </dev/null >/dev/null 2>&1
fi

fail() { echo "durability: $*"; echo "$stored"; exit 1; }
echo "$stored" | grep -Eq 'Weekend +REG_DWORD +0x2$' || fail "Weekend is not 2"
echo "$stored" | grep -Eq 'Weeks +REG_DWORD +0x0$' || fail "Weeks is not 0"
count=$(echo "$stored" | grep -c 'REG_DWORD' || true)
[ "$count" -eq 11 ] || fail "$count values instead of eleven"
echo "durability: the eleven values survived the kill and the server's restart"
