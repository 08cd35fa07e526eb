#!/usr/bin/env bash
# The hourly timer and its service as shipped: systemd accepts both, and the timer elapses on every
# full hour from 07:00 to 22:00 and at no other time.
#   package_systemd.sh DATA_DIR
set -euo pipefail
data=$1
run=$(mktemp -d); trap 'rm -rf "$run"' EXIT
fail=0
check() { if eval "$2"; then echo "PASS $1"; else echo "FAIL $1"; fail=1; fi; }
timer=$data/velmora-saat-basi.timer
service=$data/velmora-saat-basi.service
# A user manager's view without a user manager: the runtime folder is all it asks for.
check "systemd-analyze verify accepts timer and service" \
  'XDG_RUNTIME_DIR=$run systemd-analyze --user --man=no verify "$timer" "$service"'
schedule=$(sed -n 's/^OnCalendar=//p' "$timer")
# systemd 252 (Debian 12) says "Iter. #2", 257 (Debian 13) "Iteration #2".
want=$(for day in 01 02; do for h in $(seq -w 7 22); do echo "2024-01-$day $h:00:00"; done; done)
got=$(TZ=UTC systemd-analyze calendar --iterations=32 --base-time='2024-01-01 00:00:00 UTC' "$schedule" |
      sed -n 's/^ *\(Next elapse\|Iter\(\.\|ation\) #[0-9]*\): [A-Z][a-z][a-z] \(.*\) UTC$/\3/p')
check "elapses at 07:00, 08:00 ... 22:00 each day ($schedule)" '[ "$got" = "$want" ]'
[ "$got" = "$want" ] || diff <(echo "$want") <(echo "$got") | head -5
check "on the second" '[ "$(sed -n "s/^AccuracySec=//p" "$timer")" = 1s ]'
exit $fail
