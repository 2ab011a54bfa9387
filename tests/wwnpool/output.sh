#!/usr/bin/env bash
# Answers: output that cannot be written is exit 4 with every change named and
# the command that undoes it; --json is one valid document, failures included.
# Usage: output.sh WWNPOOL
source "$(dirname "$0")/rows.sh"
W alloc 2>/dev/null >&2
used() { W --json status | json_get 'sum(p["used"] for p in d["pools"])'; }
before=$(used)
reader_gone() { { sleep 0.3; W "$@"; echo $? >"$work/rc"; } | true; return "$(cat "$work/rc")"; }
rows <<'ROWS'
a full disk: the allocated names are told on standard error|4|W alloc 4 >/dev/full|^$|^wwnpool: allocated (([0-9a-f]{2}:){7}[0-9a-f]{2} ){4}but could not print the result: No space left on device; release them with 'wwnpool --state '$work/pools' release|~
a closed standard output: nothing is done|4|W alloc 2 >&-||^wwnpool: standard output is closed, so no answer could be given; nothing was done$|=
a reader that went away: the names are told|4|reader_gone alloc 1||^wwnpool: allocated ([0-9a-f]{2}:){7}[0-9a-f]{2} but could not print the result: Broken pipe|~
a pool made is told too|4|"$tool" --state "$work/made" --local 00:1b:21:12:34:56 init --page 5 >/dev/full||^wwnpool: created pool [0-9a-f:]{23} .*but could not print the result: No space left on device$|
!rm -f "$state.lock"
reading takes no lock, so nobody who only reads can stall a change|1|W list >/dev/null; test -e "$state.lock"|^$|^$|=
ROWS
check "the 5 addresses are in use" test "$(used)" -eq $((before + 5))
W alloc --owner "vm 9's" 2 >/dev/full 2>"$work/err"
undo=$(sed -n "s/.*with '\(wwnpool .*\)' if that was not wanted/\1/p" "$work/err")
check "the undo command it names works, owner and all: $undo" eval "\"\$tool\" ${undo#wwnpool} >/dev/null"
check "and leaves what was there before" test "$(used)" -eq $((before + 5))
W alloc --pair --owner "vm 9's" 2 >/dev/null 2>&1 && W take 20:30:12:34:56:78:9a:bc >/dev/null
W --json owners >"$work/before"
W release --all --page 0 --force >/dev/full 2>"$work/err"
wwnpool() { "$tool" "$@"; }
eval "$(sed -n "s/.*with '\(wwnpool .*\)' if that was not wanted/\1/p" "$work/err")" >/dev/null 2>&1
check "the undo of a release takes the names back, owners, pairs and roles and all" diff <(W --json owners) "$work/before"

for args in "init --page 6" "alloc 3 --page 6" "status" "status 20:00:12:34:56:78:9a:bc" "list --page 6" \
  "decode 51:23:45:67:89:ab:c0:05" "dump --page 6" "release --all --page 6" local "check $state" --version; do
  check "--json $args: one document" python3 -c 'import json,sys; json.loads(sys.stdin.buffer.read().decode("utf-8"))' < <(W --json $args 2>/dev/null)
done
mkfifo "$work/fifo"
for args in "--bogus" "alloc --page 9" "" "take $(printf '\xff\xfe')" "--state $work/fifo status"; do
  check "--json $args: an error document" test "$(timeout 10 "$tool" --json $args 2>/dev/null | json_get '"exit" in d["error"]')" = True
done
finish
