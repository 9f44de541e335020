#!/usr/bin/env bash
# Runs a test program under Wine (the command line is the wrapper and the program);
# when Wine's loader loses its server connection before the program runs (it prints
# "wine client error" and no test started), it runs the program once more. Seen with
# the 32-bit loader once in some twenty starts; a failure of the program itself is
# never repeated.
set -u
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" >"$log" 2>&1
rc=$?
cat "$log"
if [ "$rc" -ne 0 ] && grep -q '^wine client error' "$log" && ! grep -q '^\[==========\] Running' "$log"; then
  echo "(Wine's loader lost its server before the program ran: running it once more)"
  exec "$@"
fi
exit "$rc"
