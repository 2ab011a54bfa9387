#!/usr/bin/env bash
# End-to-end tests of the wwnpool tool in a temporary folder, on a fake sysfs
# tree. Usage: wwnpool_cli_test.sh WWNPOOL FAIL_DIR_FSYNC_LIBRARY
set -u
tool=$1 fail_dir_fsync=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
umask 022
# Every command names its state; one that forgot would use this, never the host's.
export WWNPOOL_STATE=$work/unnamed WWNPOOL_LOCAL=10:00:12:34:56:78:9a:bc WWNPOOL_SYSFS=$work/sys
state=$work/pools
W() { "$tool" --state "$state" "$@"; }
passed=0 failed=0
check() { # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}
json_ok() { python3 -c 'import json,sys; json.loads(sys.stdin.buffer.read().decode("utf-8"))'; }
json_get() { python3 -c "import json,sys; d=json.load(sys.stdin); print($1)"; }
nic() { # nic NAME MAC ADDR_ASSIGN_TYPE DEVICE_FOLDER: one interface of the fake host
  mkdir -p "$WWNPOOL_SYSFS/$4/net/$1" "$WWNPOOL_SYSFS/class/net"
  echo "$2" >"$WWNPOOL_SYSFS/$4/net/$1/address"
  echo "$3" >"$WWNPOOL_SYSFS/$4/net/$1/addr_assign_type"
  ln -s "../../$4/net/$1" "$WWNPOOL_SYSFS/class/net/$1"
}

# The host's name: a VM whose only hardware MAC is locally administered. The
# loopback, a bridge, a random-address NIC and a multicast one never count.
nic lo 00:00:00:00:00:00 0 devices/virtual
nic br0 00:1b:21:00:00:01 0 devices/virtual
nic eth0 02:fc:00:00:00:01 0 devices/pci0000:00/0000:00:03.0
nic eth1 00:1b:21:00:00:02 1 devices/pci0000:00/0000:00:04.0
nic eth2 01:1b:21:00:00:03 0 devices/pci0000:00/0000:00:05.0
H() { env -u WWNPOOL_LOCAL "$tool" --state "$work/host" "$@"; }
H alloc 4 >"$work/out" 2>"$work/err"
check "alloc on a locally administered MAC exits 0" test $? -eq 0
check "and hands out four of its names" test "$(sort -u "$work/out" | grep -c ':02:fc:00:00:00:01$')" -eq 4
check "with a one-line notice naming the interface" grep -q "locally administered MAC of eth0.*--local" "$work/err"
check "notice is one line" test "$(wc -l <"$work/err")" -eq 1
H alloc >/dev/null 2>"$work/err"
check "no notice once the pool exists" test ! -s "$work/err"
nic ens9 00:1b:21:aa:bb:cc 0 devices/pci0000:00/0000:00:06.0
check "a universal MAC is preferred" test "$(env -u WWNPOOL_LOCAL "$tool" --state "$work/fresh" local)" = \
  "10:00:00:1b:21:aa:bb:cc  interface ens9, universally administered MAC"
check "but the state file's identity stays" test "$(H local)" = "10:00:02:fc:00:00:00:01  the pools already in the state file"
check "local --json" test "$(H --json local | json_get 'd["local"], d["source"], d["interface"]')" = \
  "10:00:02:fc:00:00:00:01 state None"
check "WWNPOOL_LOCAL comes before the state" test "$("$tool" --state "$work/host" local)" = \
  "10:00:12:34:56:78:9a:bc  environment variable WWNPOOL_LOCAL"
check "--local before all" test "$(H --local 10:00:00:00:00:00:00:07 --json local | json_get 'd["source"]')" = option
WWNPOOL_SYSFS=$work/none env -u WWNPOOL_LOCAL "$tool" --state "$work/fresh" alloc >/dev/null 2>&1
check "no interface and no pools: exit 2" test $? -eq 2

# Four processes at once, 50 allocations of 4 addresses each (two of them as
# two owned pairs): 800 distinct addresses.
for p in 1 2 3 4; do
  kind=("alloc 4" "alloc --page 2 --pair --owner p$p 2")
  (for i in $(seq 50); do W ${kind[p % 2]} || echo "alloc failed" >&2; done | tr ' ' '\n' >"$work/got.$p") &
done
wait
check "800 distinct addresses delivered" test "$(cat "$work"/got.* | sort -u | wc -l)" -eq 800
check "list shows them" test "$( (W list; W list --page 2; W list --page 3) | sort | diff - <(cat "$work"/got.* | sort) && echo same)" = same
check "and their owners" test "$(W list --owner p1 | wc -l)" -eq 200

# Killed at any moment, allocating owned pairs or releasing them (so that
# they rest), the state file stays whole.
for i in $(seq 30); do
  if ((i % 2)); then command="alloc --page 2 --pair --owner k$i 3"; else command="release --owner k$((i - 1))"; fi
  W $command >/dev/null 2>&1 &
  pid=$!
  sleep "0.00$((RANDOM % 10))"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
done
check "every block imports after the kills" W status >/dev/null
touch "$work/.pools.wwnpool-new-Ab12Cd" "$work/.pools.backup" "$work/.pools.Ab12Cd"
W alloc --page 3 >/dev/null
check "the next change clears temporary files of killed writers" test ! -e "$work/.pools.wwnpool-new-Ab12Cd"
check "and no file of the user's" test -e "$work/.pools.backup" -a -e "$work/.pools.Ab12Cd"

# Bad input: exit 2 (or 1 for refusals), a message, and an unchanged state.
W take 24:10:12:34:56:78:9a:bc >/dev/null
cp "$state" "$work/before"
while IFS='|' read -r code args; do
  eval "W $args" >/dev/null 2>"$work/err"
  rc=$?
  check "'$args' exits $code (got $rc)" test "$rc" -eq "$code"
  check "'$args' says why in one line" test "$(wc -l <"$work/err")" -eq 1
  check "'$args' leaves the state alone" cmp -s "$state" "$work/before"
done <<'CASES'
2|take zz:00:12:34:56:78:9a:bc
2|take 20:00-12:34:56:78:9a:bc
2|alloc --page 8
2|alloc 0
2|alloc 1025
2|take 10:00:12:34:56:78:9a:bc
2|--local 20:00:12:34:56:78:9a:bc alloc
2|alloc --force
2|frobnicate
2|alloc --bogus
2|take 2c:20:12:34:56:78:9a:bc 0x2c20123456789abc
2|alloc --page 1 --page 2
2|init --force --force
2|take $'\xff\xfe'
2|take --owner '' 2c:30:12:34:56:78:9a:bc
2|take --owner $'vm\x01' 2c:30:12:34:56:78:9a:bc
2|take --owner $(printf 'x%.0s' {1..129}) 2c:30:12:34:56:78:9a:bc
2|alloc --format vport
2|alloc --format hex
1|release --owner nobody
1|alloc --pair 1000
1|take 24:10:12:34:56:78:9a:bc
1|release 24:11:12:34:56:78:9a:bc
1|take 24:11:12:34:56:78:9a:bc 24:10:12:34:56:78:9a:bc
1|init
1|alloc 1000
CASES
check "options end at --" test "$(W take -- 2f:ff:12:34:56:78:9a:bc)" = "taken 2f:ff:12:34:56:78:9a:bc"
check "--page=N is --page N" test "$(W alloc --page=6)" = 51:23:45:67:89:ab:c8:00
"$tool" --state '' status >/dev/null 2>&1
check "an empty --state is bad usage" test $? -eq 2

# Pairs, owners and the forms other tools take.
P() { "$tool" --state "$work/pairs" "$@"; }
P alloc 2 >/dev/null
P take 24:02:12:34:56:78:9a:bc >/dev/null
check "pairs: the lowest index free in both pools, as vport_create takes them" \
  test "$(P alloc --pair --owner vm42 --format vport 2 | xargs)" = "2003123456789abc:2403123456789abc 2004123456789abc:2404123456789abc"
check "list --long: owner and partner" test "$(P list --long | grep '^20:03' | xargs)" = "20:03:12:34:56:78:9a:bc vm42 24:03:12:34:56:78:9a:bc -"
check "status: owner and partner" test "$(P status 24:04:12:34:56:78:9a:bc)" = \
  "24:04:12:34:56:78:9a:bc in use  owner vm42  partner 20:04:12:34:56:78:9a:bc"
check "decode: the partner's page and index" grep -q "page 1  index 3  partner page 0 index 3" < <(P decode 24:03:12:34:56:78:9a:bc)
check "releasing one member frees both" test "$(P release --owner vm42 24:03:12:34:56:78:9a:bc | xargs)" = \
  "released 24:03:12:34:56:78:9a:bc released 20:03:12:34:56:78:9a:bc"
check "release --owner frees the rest" test "$(P release --owner vm42 | wc -l)" -eq 2
check "an owner in --json, null when none" test "$(P --json take --owner 'vm é' 20:20:12:34:56:78:9a:bc | json_get 'd["owner"]') \
$(P --json status 20:20:12:34:56:78:9a:bc 20:00:12:34:56:78:9a:bc | json_get '[a["owner"] for a in d["addresses"]]')" = "vm é ['vm é', None]"
while IFS='|' read -r options expected; do
  check "status $options" test "$(P status $options 20:05:12:34:56:78:9a:bc)" = "$expected free"
done <<'FORMS'
--format colon|20:05:12:34:56:78:9a:bc
--format bare|2005123456789abc
--format sysfs --upper|0x2005123456789ABC
FORMS
grep '^A 2020' "$work/pairs" | python3 -c "
import sys, zlib
body = 'A 2030123456789abc - 766d'  # a record of an address that is free
crc = int.from_bytes(zlib.crc32(body.encode()).to_bytes(4, 'big'), 'little')
print(body + ' %08x' % crc)
print(sys.stdin.read().replace('766d', '766e'), end='')" >>"$work/pairs"
cp "$work/pairs" "$work/before"
for args in "status 20:30:12:34:56:78:9a:bc" "list" "alloc" "release 20:20:12:34:56:78:9a:bc"; do
  P $args >/dev/null 2>&1
  check "a record of a free address, or a damaged one: '$args' exits 3" test $? -eq 3
done
check "and the file is left alone" cmp -s "$work/pairs" "$work/before"

# The names this host's FC hosts and vports carry are never handed out.
S() { WWNPOOL_SYSFS=$work/fc "$tool" --state "$work/scan" "$@"; }
fc() { # fc CLASS ENTRY PORT_NAME NODE_NAME, as sysfs prints them
  mkdir -p "$work/fc/class/$1/$2"
  echo "$3" >"$work/fc/class/$1/$2/port_name"
  echo "$4" >"$work/fc/class/$1/$2/node_name"
}
check "a host without FC: scan finds nothing" S scan >/dev/null
fc fc_host host5 0x2000123456789abc 0x1000123456789abc
fc fc_vports vport-5:0-0 0x2003123456789abc 0x2403123456789abc
fc fc_host host6 0x21000024ff000001 0x2005123456789abc
check "scan marks the names in the pools taken, and lists the others" \
  test "$(S scan | cut -c 1-5 | sort | uniq -c | xargs)" = "2 outsi 4 taken"
check "a vport's port and node as a pair" test "$(S status 20:03:12:34:56:78:9a:bc)" = \
  "20:03:12:34:56:78:9a:bc in use  owner sysfs:vport-5:0-0  partner 24:03:12:34:56:78:9a:bc"
check "a second scan leaves them as they are" test "$(S --json scan | json_get 'len(d["already_taken"]), len(d["taken"])')" = "4 0"
fc fc_host host6 0x2001123456789abc 0x20000024ff000001
check "alloc skips a name in use now" test "$(S alloc)" = 20:02:12:34:56:78:9a:bc
check "and records its user" grep -q "owner sysfs:host6" < <(S status 20:01:12:34:56:78:9a:bc)
S release 20:02:12:34:56:78:9a:bc >/dev/null
fc fc_host host6 0x2002123456789abc 0x20000024ff000001
S alloc >/dev/null
check "a resting name that a host uses now is recorded as its" test "$(S status 20:02:12:34:56:78:9a:bc)" = \
  "20:02:12:34:56:78:9a:bc in use  owner sysfs:host6"
fc fc_host host6 0x2004123456789abc 0x20000024ff000001
S take 20:04:12:34:56:78:9a:bc >/dev/null 2>"$work/err"
check "take of a name in use: exit 1 naming its user" test $? -eq 1 -a -n "$(grep host6 "$work/err")"

# Guard rails: a slip never puts one name on the fabric twice.
G() { "$tool" --state "$work/guard" "$@"; }
G alloc --pair --owner vm1 >/dev/null
G alloc --owner vm2 >/dev/null
G alloc >/dev/null
echo "# a note of the administrator's" >>"$work/guard"
cp "$work/guard" "$work/before"
while IFS='|' read -r code args; do
  G $args >/dev/null 2>"$work/err"
  rc=$?
  check "guard '$args' exits $code (got $rc)" test "$rc" -eq "$code"
  check "guard '$args' says why in one line" test "$(wc -l <"$work/err")" -eq 1
  check "guard '$args' leaves the state alone" cmp -s "$work/guard" "$work/before"
done <<'SLIPS'
1|release 24:00:12:34:56:78:9a:bc
1|release --owner vm2 20:00:12:34:56:78:9a:bc
2|release --all
1|release --all --page 0
1|release --all --page 5
1|list --page 5
2|take 20:07:12:34:56:78:9a:bd
2|release 20:02:12:34:56:78:9a:bd
2|--local 10:00:00:00:00:00:00:00 alloc
2|--local 10:00:ff:ff:ff:ff:ff:ff alloc
2|--local 01:00:5e:00:00:01 alloc
2|alloc --rest forever
SLIPS
grep -q "held by 'vm1'" < <(G release 20:00:12:34:56:78:9a:bc 2>&1)
check "the refusal names the owner" test $? -eq 0
check "naming the owner releases the pair" test "$(G release --owner vm1 24:00:12:34:56:78:9a:bc | wc -l)" -eq 2
check "a released name rests: alloc passes it by" test "$(G alloc)" = 20:03:12:34:56:78:9a:bc
check "status says since when it rests" grep -q "^20:00:12:34:56:78:9a:bc free (resting since 20" < <(G status 20:00:12:34:56:78:9a:bc)
check "list --long shows it" grep -q "^20:00:12:34:56:78:9a:bc .* since 20" < <(G list --long)
check "--rest 0: no rest" test "$(G alloc --rest 0)" = 20:00:12:34:56:78:9a:bc
G take 24:00:12:34:56:78:9a:bc >/dev/null 2>"$work/err"
check "take of a resting name works, and says so" grep -q "resting" "$work/err"
check "another host's name is called so" grep -q "belongs to another host" < <(G status 20:07:12:34:56:78:9a:bd)
check "release --all --force says how many and whose" test "$(G release --all --page 0 --force)" = \
  "released 4 addresses of pool 20:00:12:34:56:78:9a:bc (3 without owner, 1 of 'vm2')"
check "the administrator's comment survives rewrites" grep -q "^# a note of the administrator's" "$work/guard"
check "status names the state file it read" test "$(G status | head -n 1)" = "state file $work/guard"
R() { "$tool" --state "$work/rest" "$@"; }
R alloc 1024 >/dev/null
R release 20:05:12:34:56:78:9a:bc >/dev/null
sleep 1
R release 20:03:12:34:56:78:9a:bc >/dev/null
check "nothing else free: the longest rested goes first" test "$(R alloc 2>"$work/err")" = 20:05:12:34:56:78:9a:bc
check "and the user is told" grep -q "longest rested" "$work/err"
check "a bare MAC is a local WWN" test "$("$tool" --local 02:fc:00:00:00:09 local | cut -d' ' -f1)" = 10:00:02:fc:00:00:00:09
"$tool" --state "$work/mac" --local 02:fc:00:00:00:09 alloc >/dev/null 2>"$work/err"
check "a locally administered one gets the notice" grep -q "locally administered" "$work/err"

# Output that cannot be written: a non-zero exit, and every address the
# command changed is named on standard error.
used() { W --json status | json_get 'sum(p["used"] for p in d["pools"])'; }
before=$(used)
W alloc 4 >/dev/full 2>"$work/err"
check "alloc to a full disk fails" test $? -ne 0
check "and names the 4 addresses it allocated" test "$(grep -oE '([0-9a-f]{2}:){7}[0-9a-f]{2}' "$work/err" | sort -u | wc -l)" -eq 4
check "which are in use" test "$(used)" -eq $((before + 4))
W alloc --owner vm9 2 >/dev/full 2>"$work/err"
undo=$(sed -n "s/.*with 'wwnpool \(.*\)' if that was not wanted/\1/p" "$work/err")
check "the undo command it names works" eval "\"\$tool\" $undo >/dev/null"
W alloc 2 >&- 2>/dev/null
check "closed standard output: refused" test $? -ne 0
check "before anything is allocated" test "$(used)" -eq $((before + 4))
{ sleep 0.3; W alloc 1 2>"$work/err"; echo $? >"$work/rc"; } | true
check "a reader gone: non-zero" test "$(cat "$work/rc")" -ne 0
check "and the address is named" grep -qE "allocated ([0-9a-f]{2}:){7}" "$work/err"
LD_PRELOAD=$fail_dir_fsync ASAN_OPTIONS=verify_asan_link_order=0 W alloc 2 >/dev/null 2>"$work/err"
check "a folder that cannot be flushed: exit 3" test $? -eq 3
check "naming what was allocated" grep -qE "allocated ([0-9a-f]{2}:){7}" "$work/err"

# The state is one regular file; only the tool's own files are touched.
mkfifo "$work/fifo"
for args in status alloc; do
  timeout 10 "$tool" --state "$work/fifo" $args >/dev/null 2>&1
  check "a FIFO as state: $args exits 3 at once" test $? -eq 3
done
check "and nothing is made beside it" test ! -e "$work/fifo.lock"
"$tool" --state "$work" status >/dev/null 2>&1
check "a folder as state: exit 3" test $? -eq 3
cp "$state" "$work/before"
ln "$state" "$work/hard"
W alloc >/dev/null 2>&1
check "a state with two hard links: exit 3" test $? -eq 3
check "and it is left alone" cmp -s "$state" "$work/before"
rm "$work/hard"
ln -s pools "$work/link"
"$tool" --state "$work/link" alloc >/dev/null
check "a symbolic link is followed: the link stays" test -L "$work/link"
check "the file it names changed" test "$(W list | wc -l)" -gt "$(W list | head -n -1 | wc -l)"
check "one lock for both names" test ! -e "$work/link.lock"
ln -s "$work/victim" "$work/new.lock"
"$tool" --state "$work/new" alloc >/dev/null 2>&1
check "a planted lock link is refused" test $? -eq 3
check "and not followed" test ! -e "$work/victim"
chmod 640 "$state"
W alloc >/dev/null
check "a rewrite keeps the mode" test "$(stat -c %a "$state")" = 640
"$tool" --state "$work/made/here/pools" alloc >/dev/null
check "a new state: 644 in 755 folders at umask 022" test "$(stat -c %a "$work/made/here" "$work/made/here/pools" | xargs)" = "755 644"
head -c 17M /dev/zero | tr '\0' 0 >"$work/big"
timeout 10 "$tool" --state "$work/big" list >/dev/null 2>&1
check "a file over 16 MiB: exit 3 at once" test $? -eq 3
yes "$(grep -v '#' "$state" | head -n 1 | cut -c 1-32)" | head -n 100000 >"$work/copies"
timeout 60 "$tool" --state "$work/copies" status >/dev/null 2>&1
check "100000 cut copies of one pool are read in linear time" test $? -eq 3

# Read-only answers never come from a line that cannot be trusted, and a
# damaged file is never rewritten.
"$tool" --state "$work/d" alloc 2 >/dev/null
python3 - "$work/d" <<'PY'
import sys, zlib
lines = [l for l in open(sys.argv[1]).read().split('\n') if l and not l.startswith('#')]
lines.insert(0, '# wwnpool state')
block = bytearray.fromhex(lines[1])
def sealed(b):
    b[144:148] = zlib.crc32(bytes(b[8:144])).to_bytes(4, 'little')
    return b.hex()
variants = {
    'cut': lines[1][:200],
    'twice': lines[1] + '\n' + lines[1],
    'flipped': lines[1][:40] + ('1' if lines[1][40] == '0' else '0') + lines[1][41:],
    'nonbase': sealed(block[:9] + b'\x05' + block[10:]),
    'reserved': lines[1][:10] + '01' + lines[1][12:],
}
for name, line in variants.items():
    open(sys.argv[1] + '.' + name, 'w').write(lines[0] + '\n' + line + '\n')
PY
for variant in cut twice flipped nonbase reserved; do
  cp "$work/d.$variant" "$work/damaged"
  for args in "status 20:00:12:34:56:78:9a:bc" list dump alloc "take 2c:00:12:34:56:78:9a:bc" "init --page 2"; do
    "$tool" --state "$work/damaged" $args >/dev/null 2>"$work/err"
    rc=$?
    check "$variant: '$args' exits 3 (got $rc)" test $rc -eq 3
    check "$variant: '$args' names the line" grep -q "line [0-9]" "$work/err"
  done
  check "$variant: the file is left alone" cmp -s "$work/damaged" "$work/d.$variant"
done
"$tool" --state "$work/d.cut" status 2>&- >/dev/null
env -u WWNPOOL_LOCAL "$tool" --state "$work/noticed" alloc 2>&- >/dev/null
check "with standard error closed, no message lands in a file" test ! -s "$work/d.cut.lock" -a ! -s "$work/noticed.lock"
cp "$work/d.flipped" "$work/kept"
"$tool" --state "$work/kept" init --force >"$work/out"
check "init --force keeps a damaged line beside the state" \
  test "$(tail -n 1 "$(sed -n 's/.*kept in //p' "$work/out")")" = "$(grep -v '#' "$work/d.flipped")"
cp "$work/d.twice" "$work/damaged"
"$tool" --state "$work/damaged" alloc 2>&1 | grep -o "'wwnpool [^']*'[^']*'[^']*'" | tr -d "'" | cut -c 9- >"$work/advice"
check "the advice for a duplicated pool resets it" xargs "$tool" <"$work/advice" >/dev/null
check "into one line" test "$(grep -vc '#' "$work/damaged")" -eq 1
check "which answers again" test -z "$("$tool" --state "$work/damaged" list)"

# Fleet checks: the state files of several hosts, compared.
cp "$state" "$work/clone" # a cloned VM's state
"$tool" --state "$work/other" --local 10:00:00:1b:21:00:00:09 alloc >/dev/null
while IFS='|' read -r code files findings; do
  eval "\"$tool\" check $files" >"$work/out" 2>/dev/null
  rc=$?
  check "check $files: exit $code (got $rc)" test $rc -eq "$code"
  check "check $files: finds '$findings'" test "$(cut -d: -f1 "$work/out" | sort -u | xargs)" = "$findings"
done <<'FLEET'
0|"$state" "$work/other"|clean
1|"$state" "$work/other" "$work/clone"|local pool
1|"$work/d.cut"|damaged
3|"$state" "$work/nothing"|unreadable
FLEET
check "check --json" test "$("$tool" --json check "$state" "$work/clone" | json_get 'd["clean"], sorted({f["kind"] for f in d["findings"]})')" = "False ['local', 'pool']"

# --json: one valid UTF-8 document, for failures of every kind too.
for args in "init --page 6" "alloc 3 --page 6" "status" "status 20:00:12:34:56:78:9a:bc" "list --page 6" \
  "decode 51:23:45:67:89:ab:c0:05" "dump --page 6" "release --all --page 6" local; do
  check "--json $args parses" json_ok < <(W --json $args 2>/dev/null)
done
for args in "--bogus" "alloc --page 9" "" "take $(printf '\xff\xfe')" "--state $work/fifo status"; do
  check "--json $args: an error document" test "$(timeout 10 "$tool" --json $args 2>/dev/null | json_get '"exit" in d["error"]')" = True
done
check "decode gives the index" test "$(W --json decode 2c:05:12:34:56:78:9a:bc | json_get 'd["addresses"][0]["index"]')" = 5
check "--help" W --help >/dev/null
check "command --help" W alloc --help >/dev/null
check "--version" W --version >/dev/null

# The host's own state, /var/lib/wwnpool/pools, in a private mount
# namespace so that the real one is never touched.
if unshare --mount true 2>/dev/null; then
  unshare --mount bash -c '
    mount -t tmpfs tmpfs /var/lib || exit 1
    export -n WWNPOOL_STATE WWNPOOL_LOCAL
    "$0" alloc 4 >"$1/default.out" 2>/dev/null; echo $? >"$1/default.rc"
    stat -c %a /var/lib/wwnpool /var/lib/wwnpool/pools | xargs >"$1/default.modes"
    as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
    as_user "$0" --version >/dev/null 2>&1 || exit 0 # the build is in a folder only root may enter
    as_user "$0" alloc 2>"$1/user.err"; echo $? >"$1/user.rc"
    as_user "$0" status >/dev/null 2>&1; echo $? >>"$1/user.rc"
  ' "$tool" "$work"
  check "as root, the README's first command works" test "$(cat "$work/default.rc") $(wc -l <"$work/default.out")" = "0 4"
  check "creating the host's state 755/644" test "$(cat "$work/default.modes")" = "755 644"
  if test -e "$work/user.rc"; then
    check "a user may read it but not change it" test "$(xargs <"$work/user.rc")" = "3 0"
    check "and is told whose it is and what to do" grep -q "belong to this host.*root.*--state" "$work/user.err"
  else
    echo "SKIPPED: another user's view of the host's state (that user may not run $tool)"
  fi
else
  echo "SKIPPED: the default state location needs a private mount namespace (unshare --mount), not permitted here"
fi

echo "$passed passed, $failed failed"
test "$failed" -eq 0
