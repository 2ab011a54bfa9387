#!/usr/bin/env bash
# End-to-end tests of the wwnpool tool in a temporary folder.
# Usage: wwnpool_cli_test.sh PATH_TO_WWNPOOL
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WWNPOOL_LOCAL=10:00:12:34:56:78:9a:bc
state=$work/pools
W() { "$tool" --state "$state" "$@"; }
passed=0 failed=0
check() { # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}
json_ok() { python3 -c 'import json,sys; json.load(sys.stdin)'; }

# Four processes at once, 50 allocations of 4 each: 800 distinct addresses.
for p in 1 2 3 4; do
  (for i in $(seq 50); do W alloc 4 || echo "alloc failed" >&2; done >"$work/got.$p") &
done
wait
check "800 addresses delivered" test "$(cat "$work"/got.* | wc -l)" -eq 800
check "all distinct" test "$(cat "$work"/got.* | sort -u | wc -l)" -eq 800
check "status counts 800 used" test "$(W --json status | python3 -c 'import json,sys; print(json.load(sys.stdin)["pools"][0]["used"])')" -eq 800
check "list shows them" test "$(W list | sort | diff - <(cat "$work"/got.* | sort) && echo same)" = same

# Killed at any moment, the state file stays whole.
for i in $(seq 25); do
  W --page 3 alloc 7 >/dev/null &
  pid=$!
  sleep "0.00$((RANDOM % 10))"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  W status >/dev/null || { check "state readable after kill $i" false; break; }
done
check "every block imports after the kills" W status >/dev/null
touch "$work/.pools.Ab12Cd" "$work/.pools.keep" # as a writer killed before its rename leaves
W --page 3 alloc >/dev/null
check "the next change clears temporary files of killed writers" test ! -e "$work/.pools.Ab12Cd"
check "and nothing else" test -e "$work/.pools.keep"

# Bad input: exit 2 (or 1 for refusals), a message, and an unchanged state.
W take 24:10:12:34:56:78:9a:bc >/dev/null
cp "$state" "$work/before"
while IFS='|' read -r code args; do
  # shellcheck disable=SC2086
  W $args >/dev/null 2>"$work/err"
  rc=$?
  check "'$args' exits $code (got $rc)" test "$rc" -eq "$code"
  check "'$args' says why in one line" test "$(wc -l <"$work/err")" -eq 1
  check "'$args' leaves the state alone" cmp -s "$state" "$work/before"
done <<'CASES'
2|take zz:00:12:34:56:78:9a:bc
2|take 20:00:12:34:56:78:9a
2|take 20:00-12:34:56:78:9a:bc
2|alloc --page 8
2|alloc 0
2|alloc -1
2|alloc 1025
2|alloc many
2|take 10:00:12:34:56:78:9a:bc
2|--local 20:00:12:34:56:78:9a:bc alloc
2|alloc --force
2|frobnicate
2|alloc --bogus
1|take 24:10:12:34:56:78:9a:bc
1|release 2f:ff:12:34:56:78:9a:bc
1|release 24:11:12:34:56:78:9a:bc
1|release 51:23:45:67:89:ab:c0:05
1|take 24:11:12:34:56:78:9a:bc 24:10:12:34:56:78:9a:bc
1|init
1|alloc 1000
CASES
check "refused batch took nothing" test "$(W status 24:11:12:34:56:78:9a:bc)" = "24:11:12:34:56:78:9a:bc free"

# A flipped hex digit: changes refused with exit 3, the file byte for byte
# unchanged; reading still works; init --force is the way out.
python3 - "$state" <<'PY'
import sys
lines = open(sys.argv[1]).read().split('\n')
i = next(n for n, l in enumerate(lines) if l.startswith('01') and l[16:32] == '2000123456789abc')
c = lines[i][40]
lines[i] = lines[i][:40] + ('1' if c == '0' else '0') + lines[i][41:]
open(sys.argv[1], 'w').write('\n'.join(lines))
PY
cp "$state" "$work/damaged"
for args in "alloc" "--page 3 alloc" "take 2c:00:12:34:56:78:9a:bc" "release --all" "init --page 2"; do
  # shellcheck disable=SC2086
  W $args >/dev/null 2>"$work/err"
  rc=$?
  check "'$args' on a damaged file exits 3 (got $rc)" test "$rc" -eq 3
  check "'$args' names the line" grep -q "line [0-9]" "$work/err"
  check "'$args' leaves the damaged file alone" cmp -s "$state" "$work/damaged"
done
W status >"$work/out" 2>&1
check "status reports the damage with exit 3" test $? -eq 3
check "status still shows the other pools" grep -q "51:23:45:67:89:ab\|2c:00:12:34:56:78:9a:bc" "$work/out"
check "status shows the damaged pool" grep -q "CRC mismatch" "$work/out"
check "init --force resets the damaged pool" W init --force >/dev/null
check "the reset pool is empty" test -z "$(W list)"
check "changes work again" W alloc >/dev/null

# --json gives one parseable document for every command, errors included.
for args in "init --page 6" "alloc 3 --page 6" "take 2c:05:12:34:56:78:9a:bc" "release 2c:05:12:34:56:78:9a:bc" \
  "status" "status 20:00:12:34:56:78:9a:bc" "list --page 6" "decode 51:23:45:67:89:ab:c0:05" "dump --page 6" \
  "release --all --page 6" "take nonsense"; do
  # shellcheck disable=SC2086
  check "--json $args parses" json_ok < <(W --json $args 2>/dev/null)
done
check "decode gives the index" test "$(W --json decode 2c:05:12:34:56:78:9a:bc | python3 -c 'import json,sys; d=json.load(sys.stdin)["addresses"][0]; print(d["page"], d["index"], d["naa"])')" = "3 5 2"

# Help and version.
check "--help" W --help >/dev/null
check "command --help" W alloc --help >/dev/null
check "--version" W --version >/dev/null
W >/dev/null 2>&1
check "no command is bad usage" test $? -eq 2

echo "$passed passed, $failed failed"
test "$failed" -eq 0
