#!/usr/bin/env bash
# End-to-end tests of wwnpool on a fake sysfs tree. Usage: wwnpool_cli_test.sh
# WWNPOOL FAIL_DIR_FSYNC_LIBRARY. Most checks are rows EXIT|COMMAND|STDOUT|STDERR|STATE:
# COMMAND (mostly `W ARGS`, wwnpool on $state) exits EXIT; its output, lines
# joined by spaces, matches the regular expression STDOUT; its standard error is
# empty (^$) or one line matching STDERR (an empty pattern allows anything);
# STATE "=" keeps the state file byte for byte, "~" changes it. "!COMMAND" rows
# set the scene.
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
rows() {
  local line code command want_out want_err keep rc why
  while IFS= read -r line; do
    case $line in '' | '#'*) continue ;; '!'*) eval "${line#!}" </dev/null >/dev/null 2>&1; continue ;; esac
    IFS='|' read -r code command want_out want_err keep <<<"$line"
    rm -f "$work/before" && { ! test -e "$state" || cp "$state" "$work/before"; }
    eval "$command" >"$work/out" 2>"$work/err" </dev/null
    rc=$? why=
    [ "$rc" = "$code" ] || why=" exit $rc"
    why+=$(paste -sd' ' "$work/out" | grep -qE -- "${want_out//\$work/$work}" || echo " stdout: $(head -c 300 "$work/out")")
    if [ "$want_err" = '^$' ]; then test ! -s "$work/err" || why+=" stderr: $(head -c 300 "$work/err")"
    elif [ -n "$want_err" ] && { [ "$(wc -l <"$work/err")" != 1 ] || ! grep -qE -- "$want_err" "$work/err"; }; then
      why+=" stderr: $(head -c 300 "$work/err")"
    fi
    case $keep in
      =) cmp -s "$state" "$work/before" 2>/dev/null || { test ! -e "$state" -a ! -e "$work/before"; } || why+=" state changed" ;;
      '~') ! cmp -s "$state" "$work/before" || why+=" state unchanged" ;;
    esac
    check "$code|$command|$want_out|$want_err|$keep:$why" test -z "$why"
  done
}
json_get() { python3 -c "import json,sys; d=json.load(sys.stdin); print($1)"; }
nic() { # nic NAME MAC ADDR_ASSIGN_TYPE DEVICE_FOLDER: one interface of the fake host
  mkdir -p "$WWNPOOL_SYSFS/$4/net/$1" "$WWNPOOL_SYSFS/class/net"
  echo "$2" >"$WWNPOOL_SYSFS/$4/net/$1/address"
  echo "$3" >"$WWNPOOL_SYSFS/$4/net/$1/addr_assign_type"
  ln -s "../../$4/net/$1" "$WWNPOOL_SYSFS/class/net/$1"
}
fc() { # fc CLASS ENTRY PORT_NAME NODE_NAME, as sysfs prints them
  mkdir -p "$work/fc/class/$1/$2"
  echo "$3" >"$work/fc/class/$1/$2/port_name"
  echo "$4" >"$work/fc/class/$1/$2/node_name"
}

rows <<'ROWS'
# The host's name: a VM whose only hardware MAC is locally administered. The
# loopback, a bridge, a random-address NIC and a multicast one never count.
!nic lo 00:00:00:00:00:00 0 devices/virtual; nic br0 00:1b:21:00:00:01 0 devices/virtual
!nic eth0 02:fc:00:00:00:01 0 devices/pci0000:00/0000:00:03.0; nic eth1 00:1b:21:00:00:02 1 devices/pci0000:00/0000:00:04.0
!nic eth2 01:1b:21:00:00:03 0 devices/pci0000:00/0000:00:05.0; state=$work/host
0|WWNPOOL_LOCAL= W alloc 4|^20:00:02:fc:00:00:00:01 20:01:02:fc:00:00:00:01 20:02:02:fc:00:00:00:01 20:03:02:fc:00:00:00:01$|locally administered MAC of eth0.*--local|~
0|WWNPOOL_LOCAL= W alloc|^20:04:02:fc:00:00:00:01$|^$|~
!nic ens9 00:1b:21:aa:bb:cc 0 devices/pci0000:00/0000:00:06.0
0|WWNPOOL_LOCAL= "$tool" --state "$work/fresh" local|^10:00:00:1b:21:aa:bb:cc  interface ens9, universally administered MAC$||
0|WWNPOOL_LOCAL= W local|^10:00:02:fc:00:00:00:01  the pools already in the state file$||=
0|WWNPOOL_LOCAL= W --json local|"local":"10:00:02:fc:00:00:00:01","source":"state","interface":null||=
0|W local|^10:00:12:34:56:78:9a:bc  environment variable WWNPOOL_LOCAL$||=
0|W --local 10:00:00:00:00:00:00:07 --json local|"source":"option"||=
2|WWNPOOL_LOCAL= WWNPOOL_SYSFS=$work/none "$tool" --state "$work/fresh" alloc||^wwnpool: |
0|"$tool" --local 02:fc:00:00:00:09 local|^10:00:02:fc:00:00:00:09 ||
0|"$tool" --state "$work/mac" --local 02:fc:00:00:00:09 alloc||locally administered|
ROWS
check "nothing is made for a refused command" test ! -e "$work/fresh"
state=$work/pools

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

rows <<'ROWS'
# Bad input: exit 2 (or 1 for refusals), one line saying why, and an
# unchanged state.
!W take 24:10:12:34:56:78:9a:bc
2|W take zz:00:12:34:56:78:9a:bc||^wwnpool: 'zz:00.*' is not a WWN|=
2|W take 20:00-12:34:56:78:9a:bc||^wwnpool: |=
2|W alloc --page 8||^wwnpool: '8' is not a page; pages are 0 to 7|=
2|W alloc 0||^wwnpool: |=
2|W alloc 1025||^wwnpool: |=
2|W take 10:00:12:34:56:78:9a:bc||is not a pool address \(NAA 1\); pool addresses begin with 2 or 5$|=
2|W take $'\x80'||^wwnpool: '\\x80' is not a WWN|=
2|W --local 10:00:00:00:00:00:00:00 status 20:00:12:34:56:78:9a:bc||^wwnpool: |=
2|W --local 20:00:12:34:56:78:9a:bc alloc||^wwnpool: |=
2|W alloc --force||^wwnpool: |=
2|W frobnicate||^wwnpool: |=
2|W alloc --bogus||^wwnpool: |=
2|W take 2c:20:12:34:56:78:9a:bc 0x2c20123456789abc||^wwnpool: |=
2|W alloc --page 1 --page 2||^wwnpool: |=
2|W init --force --force||^wwnpool: |=
2|W take $'\xff\xfe'||^wwnpool: '\\xff\\xfe' is not a WWN|=
2|W take --owner '' 2c:30:12:34:56:78:9a:bc||^wwnpool: |=
2|W take --owner $'vm\x01' 2c:30:12:34:56:78:9a:bc||^wwnpool: the owner 'vm\\x01' |=
2|W take --owner $(printf 'x%.0s' {1..129}) 2c:30:12:34:56:78:9a:bc||1 to 128 printable characters|=
2|W alloc --format vport||^wwnpool: |=
2|W alloc --format hex||^wwnpool: |=
2|"$tool" --state '' status||^wwnpool: |
1|W release --owner nobody||^wwnpool: |=
1|W alloc --pair 1000||^wwnpool: |=
1|W take 24:10:12:34:56:78:9a:bc||^wwnpool: |=
1|W release 24:11:12:34:56:78:9a:bc||^wwnpool: |=
1|W take 24:11:12:34:56:78:9a:bc 24:10:12:34:56:78:9a:bc||^wwnpool: |=
1|W init||^wwnpool: |=
1|W alloc 1000||^wwnpool: |=
0|W take -- 2f:ff:12:34:56:78:9a:bc|^taken 2f:ff:12:34:56:78:9a:bc$|^$|~
0|W alloc --page=6|^51:23:45:67:89:ab:c8:00$||~

# Pairs, owners and the forms other tools take.
!state=$work/pairs; W alloc 2; W take 24:02:12:34:56:78:9a:bc
0|W alloc --pair --owner vm42 --format vport 2|^2003123456789abc:2403123456789abc 2004123456789abc:2404123456789abc$||~
0|W list --long|20:03:12:34:56:78:9a:bc +vm42 +24:03:12:34:56:78:9a:bc +-||=
0|W status 24:04:12:34:56:78:9a:bc|^24:04:12:34:56:78:9a:bc in use  owner vm42  partner 20:04:12:34:56:78:9a:bc$||=
0|W decode 24:03:12:34:56:78:9a:bc|page 1  index 3  partner page 0 index 3$||=
0|W release --owner vm42 24:03:12:34:56:78:9a:bc|^released 24:03:12:34:56:78:9a:bc released 20:03:12:34:56:78:9a:bc$||~
0|W release --owner vm42|^released [0-9a-f:]{23} released [0-9a-f:]{23}$||~
0|W --json take --owner 'vm é' 20:20:12:34:56:78:9a:bc|^\{"command":"take","owner":"vm é","addresses":\["20:20:12:34:56:78:9a:bc"\]\}$||~
0|W --json status 20:20:12:34:56:78:9a:bc 20:00:12:34:56:78:9a:bc|"owner":"vm é".*"owner":null||=
0|W take --owner 'ߐ' 20:21:12:34:56:78:9a:bc|^taken 20:21:12:34:56:78:9a:bc$||~
0|W status 20:21:12:34:56:78:9a:bc|  owner ߐ$||=
0|W take --owner $'\xf0\x9f\x98\x80\xf4\x80\x80\x80' 20:22:12:34:56:78:9a:bc; W status 20:22:12:34:56:78:9a:bc|^taken 20:22:12:34:56:78:9a:bc 20:22:12:34:56:78:9a:bc in use  owner [^\\]{2,8}$||~
0|W status --format colon 20:05:12:34:56:78:9a:bc|^20:05:12:34:56:78:9a:bc free$||=
0|W status --format bare 20:05:12:34:56:78:9a:bc|^2005123456789abc free$||=
0|W status --format sysfs --upper 20:05:12:34:56:78:9a:bc|^0x2005123456789ABC free$||=
0|W alloc --pair --owner vm7|^20:05:12:34:56:78:9a:bc 24:05:12:34:56:78:9a:bc$||~
0|W decode 20:05:12:34:56:78:9a:bc|index 5  partner page 1 index 5$||=
0|W --json list|^\{"command":"list","local":"10:00:12:34:56:78:9a:bc","page":0,"base":"20:00:12:34:56:78:9a:bc",||=
ROWS

# A record of an address that is free, or a damaged one, is refused; so is
# what a damaged pool line's records say.
cp "$work/pairs" "$work/pairs.good"
grep '^A 2020' "$work/pairs" | python3 -c "
import sys, zlib
body = 'A 2030123456789abc - 766d'
crc = int.from_bytes(zlib.crc32(body.encode()).to_bytes(4, 'big'), 'little')
print(body + ' %08x' % crc)
print(sys.stdin.read().replace('766d', '766e'), end='')" >>"$work/pairs"
rows <<'ROWS'
3|W status 20:30:12:34:56:78:9a:bc||^wwnpool: |=
3|W list||^wwnpool: |=
3|W alloc||^wwnpool: |=
3|W release 20:20:12:34:56:78:9a:bc||^wwnpool: |=
!cp "$work/pairs.good" "$state"; sed -i '/^0100000000000000200012/ s/^\(.\{40\}\)./\1f/' "$state"
0|W decode 20:05:12:34:56:78:9a:bc|index 5$||=

# The names this host's FC hosts and vports carry are never handed out.
!state=$work/scan; export WWNPOOL_SYSFS=$work/fc
0|W scan|^no FC host or vport names found||
!fc fc_host host5 0x2000123456789abc 0x1000123456789abc; fc fc_vports vport-5:0-0 0x2003123456789abc 0x2403123456789abc
!fc fc_host host6 0x21000024ff000001 0x2005123456789abc
0|W scan|^taken  20:00:12:34:56:78:9a:bc  host5 port taken  20:05:[^ ]* +host6 node taken  20:03:[^ ]* +vport-5:0-0 port taken  24:03:[^ ]* +vport-5:0-0 node outside the pools  10:00:12:34:56:78:9a:bc  host5 node outside the pools  21:00:00:24:ff:00:00:01  host6 port$||~
0|W status 20:03:12:34:56:78:9a:bc|^20:03:12:34:56:78:9a:bc in use  owner sysfs:vport-5:0-0  partner 24:03:12:34:56:78:9a:bc$||=
0|W --json scan|"taken":\[\],"already_taken":\[(\{[^}]*\},){3}\{[^}]*\}\]||=
0|W scan|^already taken  20:00:12:34:56:78:9a:bc  host5 port  owner sysfs:host5 ||=
!fc fc_host host6 0x2001123456789abc 0x20000024ff000001
0|W alloc|^20:02:12:34:56:78:9a:bc$||~
0|W status 20:01:12:34:56:78:9a:bc|owner sysfs:host6$||=
!W release 20:02:12:34:56:78:9a:bc; fc fc_host host6 0x2002123456789abc 0x20000024ff000001; W alloc
0|W status 20:02:12:34:56:78:9a:bc|^20:02:12:34:56:78:9a:bc in use  owner sysfs:host6$||=
!fc fc_host host6 0x2004123456789abc 0x20000024ff000001
1|W take 20:04:12:34:56:78:9a:bc||host6|=
!export WWNPOOL_SYSFS=$work/sys

# Guard rails: a slip never puts one name on the fabric twice.
!state=$work/guard; W alloc --pair --owner vm1; W alloc --owner vm2; W alloc
!echo "# a note of the administrator's" >>"$state"
1|W release 24:00:12:34:56:78:9a:bc||held by 'vm1'|=
1|W release --owner vm2 20:00:12:34:56:78:9a:bc||^wwnpool: |=
2|W release --all||^wwnpool: |=
1|W release --all --page 0||^wwnpool: |=
1|W release --all --page 5||^wwnpool: |=
1|W list --page 5||^wwnpool: |=
2|W take 20:07:12:34:56:78:9a:bd||not of this host 10:00:12:34:56:78:9a:bc|=
2|W release 20:02:12:34:56:78:9a:bd||^wwnpool: |=
2|W --local 10:00:00:00:00:00:00:00 alloc||^wwnpool: |=
2|W --local 10:00:ff:ff:ff:ff:ff:ff alloc||^wwnpool: |=
2|W --local 01:00:5e:00:00:01 alloc||^wwnpool: |=
2|W alloc --rest forever||^wwnpool: |=
0|W release --owner vm1 24:00:12:34:56:78:9a:bc|^released 24:00:12:34:56:78:9a:bc released 20:00:12:34:56:78:9a:bc$||~
0|W alloc|^20:03:12:34:56:78:9a:bc$||~
0|W status 20:00:12:34:56:78:9a:bc|^20:00:12:34:56:78:9a:bc free \(resting since 20[0-9-]+T[0-9:]+Z\)$||=
0|W list --long|20:00:12:34:56:78:9a:bc .* since 20||=
0|W alloc --rest 0|^20:00:12:34:56:78:9a:bc$||~
0|W take 24:00:12:34:56:78:9a:bc|^taken 24:00:12:34:56:78:9a:bc$|resting|~
0|W status 20:07:12:34:56:78:9a:bd|belongs to another host||=
0|W release --all --page 0 --force|^released 4 addresses of pool 20:00:12:34:56:78:9a:bc \(3 without owner, 1 of 'vm2'\)$||~
0|grep -c "^# a note of the administrator's" "$state"|^1$||
0|W status|^state file $work/guard LOCAL ||=
!state=$work/rest; W alloc 1024; W release 20:05:12:34:56:78:9a:bc; sleep 1; W release 20:03:12:34:56:78:9a:bc
0|W alloc|^20:05:12:34:56:78:9a:bc$|longest rested|~
ROWS

# Output that cannot be written: exit 4, and every address the command
# changed is named on standard error, with the command that undoes it.
state=$work/pools
used() { W --json status | json_get 'sum(p["used"] for p in d["pools"])'; }
before=$(used)
reader_gone() { { sleep 0.3; W "$@"; echo $? >"$work/rc"; } | true; return "$(cat "$work/rc")"; }
rows <<'ROWS'
4|W alloc 4 >/dev/full|^$|^wwnpool: allocated (([0-9a-f]{2}:){7}[0-9a-f]{2} ){4}but could not print|~
4|W alloc 2 >&-||^wwnpool: standard output is closed.*nothing was done|=
4|reader_gone alloc 1||^wwnpool: allocated ([0-9a-f]{2}:){7}[0-9a-f]{2} but could not print the result: Broken pipe|~
ROWS
check "the 5 addresses are in use" test "$(used)" -eq $((before + 5))
W alloc --owner vm9 2 >/dev/full 2>"$work/err"
undo=$(sed -n "s/.*with 'wwnpool \(.*\)' if that was not wanted/\1/p" "$work/err")
check "the undo command it names works" eval "\"\$tool\" $undo >/dev/null"

rows <<'ROWS'
3|LD_PRELOAD=$fail_dir_fsync ASAN_OPTIONS=verify_asan_link_order=0 W alloc 2||^wwnpool: .*allocated ([0-9a-f]{2}:){7}|~
# The state is one regular file; only the tool's own files are touched.
!mkfifo "$work/fifo"
3|timeout 10 "$tool" --state "$work/fifo" status||^wwnpool: |
3|timeout 10 "$tool" --state "$work/fifo" alloc||^wwnpool: |
0|test ! -e "$work/fifo.lock"|^$|^$|
3|"$tool" --state "$work" status||^wwnpool: |
!ln "$state" "$work/hard"
3|W alloc||^wwnpool: |=
!rm "$work/hard"; ln -s pools "$work/link"
0|"$tool" --state "$work/link" alloc; test -L "$work/link" && ! test -e "$work/link.lock" && echo link kept|^2[0-3]:[0-9a-f:]{20} link kept$||~
!ln -s "$work/victim" "$work/new.lock"
3|"$tool" --state "$work/new" alloc||^wwnpool: |
0|test ! -e "$work/victim"|^$|^$|
!chmod 640 "$state"
0|W alloc >/dev/null; stat -c %a "$state"|^640$||~
0|"$tool" --state "$work/made/here/pools" alloc >/dev/null; stat -c %a "$work/made/here" "$work/made/here/pools"|^755 644$||
!head -c 17M /dev/zero | tr '\0' 0 >"$work/big"
3|timeout 10 "$tool" --state "$work/big" list||^wwnpool: |
!yes "$(grep -v '#' "$state" | head -n 1 | cut -c 1-32)" | head -n 100000 >"$work/copies"
3|timeout 60 "$tool" --state "$work/copies" status||^wwnpool: |
ROWS

# Read-only answers never come from a line that cannot be trusted, and a
# damaged file is never rewritten.
"$tool" --state "$work/d" alloc 2 >/dev/null
python3 - "$work/d" <<'PY'
import sys, zlib
lines = [l for l in open(sys.argv[1]).read().split('\n') if l and not l.startswith('#')]
block = bytearray.fromhex(lines[0])
block[9] = 5  # a base that is none, resealed
block[144:148] = zlib.crc32(bytes(block[8:144])).to_bytes(4, 'little')
line = lines[0]
variants = {
    'cut': line[:200],
    'twice': line + '\n' + line,
    'flipped': line[:40] + ('1' if line[40] == '0' else '0') + line[41:],
    'nonbase': block.hex(),
    'reserved': line[:10] + '01' + line[12:],
}
for name, text in variants.items():
    open(sys.argv[1] + '.' + name, 'w').write('# wwnpool state\n' + text + '\n')
PY
for variant in cut twice flipped nonbase reserved; do
  state=$work/damaged
  cp "$work/d.$variant" "$state"
  rows <<'ROWS'
3|W status 20:00:12:34:56:78:9a:bc||line [0-9]|=
3|W list||line [0-9]|=
3|W dump||line [0-9]|=
3|W alloc||line [0-9]|=
3|W take 2c:00:12:34:56:78:9a:bc||line [0-9]|=
3|W init --page 2||line [0-9]|=
ROWS
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

# Fleet checks: the state files of several hosts, compared. --json: one
# valid document, for failures of every kind too.
state=$work/pools
cp "$state" "$work/clone" # a cloned VM's state
"$tool" --state "$work/other" --local 10:00:00:1b:21:00:00:09 alloc >/dev/null
rows <<'ROWS'
0|"$tool" check "$state" "$work/other"|^clean||
1|"$tool" check "$state" "$work/other" "$work/clone"|^local: .*hosts share the local WWN 10:00:12:34:56:78:9a:bc .* pool: .* is kept 2 times||
1|"$tool" check "$work/d.cut"|^damaged: ||
3|"$tool" check "$state" "$work/nothing"|^unreadable: ||
3|"$tool" check "$work"|^unreadable: ||
1|"$tool" --json check "$state" "$work/clone"|"clean":false.*"kind":"local".*"kind":"pool"||
0|W --json decode 2c:05:12:34:56:78:9a:bc|"page":3,"index":5,"partner":\{"wwn":"28:05:12:34:56:78:9a:bc"||=
ROWS
for args in "init --page 6" "alloc 3 --page 6" "status" "status 20:00:12:34:56:78:9a:bc" "list --page 6" \
  "decode 51:23:45:67:89:ab:c0:05" "dump --page 6" "release --all --page 6" local; do
  check "--json $args parses" python3 -c 'import json,sys; json.loads(sys.stdin.buffer.read().decode("utf-8"))' < <(W --json $args 2>/dev/null)
done
for args in "--bogus" "alloc --page 9" "" "take $(printf '\xff\xfe')" "--state $work/fifo status"; do
  check "--json $args: an error document" test "$(timeout 10 "$tool" --json $args 2>/dev/null | json_get '"exit" in d["error"]')" = True
done

# The host's own state, /var/lib/wwnpool/pools, in a private mount
# namespace so that the real one is never touched: the README's first
# command as root, 755/644 modes, and a user who may read it but not change it.
if unshare --mount true 2>/dev/null; then
  seen=$(unshare --mount bash -c '
    mount -t tmpfs tmpfs /var/lib || exit 1
    export -n WWNPOOL_STATE WWNPOOL_LOCAL
    names=$("$0" alloc 4 2>/dev/null) && echo -n "root: $(wc -w <<<"$names") names"
    echo -n ", $(stat -c %a /var/lib/wwnpool /var/lib/wwnpool/pools | xargs)"
    as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
    as_user "$0" --version >/dev/null 2>&1 || exit 0 # the build is in a folder only root may enter
    as_user "$0" alloc 2>&1 | grep -q "belong to this host.*root.*--state"
    echo -n "; user: alloc exit ${PIPESTATUS[0]}, told $?, status exit "
    as_user "$0" status >/dev/null 2>&1; echo $?
  ' "$tool")
  check "the host's own state, as root and as a user: $seen" \
    grep -qE "^root: 4 names, 755 644(; user: alloc exit 3, told 0, status exit 0)?$" <<<"$seen"
  grep -q "user:" <<<"$seen" || echo "SKIPPED: another user's view of the host's state (that user may not run $tool)"
else
  echo "SKIPPED: the default state location needs a private mount namespace (unshare --mount), not permitted here"
fi

echo "$passed passed, $failed failed"
test "$failed" -eq 0
