#!/usr/bin/env bash
# The state file: whole after kills, one regular file touched only through
# the tool's own files, and never answered from or rewritten over a line that
# cannot be trusted. Usage: state_file.sh WWNPOOL FAIL_DIR_FSYNC_LIBRARY
source "$(dirname "$0")/rows.sh"
fail_dir_fsync=$2

# Killed at any moment, allocating owned pairs, releasing them (so that they
# rest) or repairing, the state file stays whole and sealed.
for i in $(seq 30); do
  if ((i % 2)); then command="alloc --page 2 --pair --owner k$i 3"; else command="release --owner k$((i - 1))"; fi
  ((i % 5)) || command=repair
  # The tool itself in the background, not a subshell around it: killing a
  # subshell would leave the tool running on into the rows below.
  "$tool" --state "$state" $command >/dev/null 2>&1 &
  pid=$!
  sleep "0.00$((RANDOM % 10))"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
done
check "every block imports after the kills" W status >/dev/null
touch "$work/.pools.wwnpool-new-Ab12Cd" "$work/.pools.backup" "$work/.pools.Ab12Cd"
W alloc --page 3 >/dev/null 2>&1
check "the next change clears temporary files of killed writers" test ! -e "$work/.pools.wwnpool-new-Ab12Cd"
check "and no file of the user's" test -e "$work/.pools.backup" -a -e "$work/.pools.Ab12Cd"

rows <<'ROWS'
a folder that cannot be flushed is reported after the change, naming it|3|LD_PRELOAD=$fail_dir_fsync ASAN_OPTIONS=verify_asan_link_order=0 W alloc --page 3 2||pools was rewritten, but cannot flush the folder $work: Input/output error, so the change may not survive a crash; check the disk; this command allocated ([0-9a-f]{2}:){7}|~
a temporary file whose mode cannot be set leaves the state as it was|3|FAIL_FCHMOD=1 LD_PRELOAD=$fail_dir_fsync ASAN_OPTIONS=verify_asan_link_order=0 W alloc --page 3||cannot set the mode of $work/\.pools\.wwnpool-new-.*: Operation not permitted; nothing was changed|=
and one whose owner cannot be kept|3|FAIL_FCHOWN=1 LD_PRELOAD=$fail_dir_fsync ASAN_OPTIONS=verify_asan_link_order=0 W alloc --page 3||cannot set the owner of $work/\.pools\.wwnpool-new-.*: Input/output error; nothing was changed|=
!mkfifo "$work/fifo"
a FIFO is no state to read|3|timeout 10 "$tool" --state "$work/fifo" status||$work/fifo is not a regular file; name the state file itself with --state$|
nor to change|3|timeout 10 "$tool" --state "$work/fifo" alloc||$work/fifo is not a regular file|
and gets no lock beside it|0|test ! -e "$work/fifo.lock"|^$|^$|
a folder is no state|3|"$tool" --state "$work" status||$work is not a regular file|
!ln "$state" "$work/hard"
a state with two names is refused|3|W alloc||has 2 hard links; the state must be one file|=
!rm "$work/hard"; ln -s pools "$work/link"
a symbolic link is followed, kept, and its target locked|0|"$tool" --state "$work/link" alloc; test -L "$work/link" && ! test -e "$work/link.lock" && echo link kept|^2[0-3]:[0-9a-f:]{20} link kept$||~
!ln -s "$work/victim" "$work/new.lock"
a lock that is a symbolic link is never followed|3|"$tool" --state "$work/new" alloc||$work/new.lock is a symbolic link, which is never followed; remove it|
so nothing is made where it points|0|test ! -e "$work/victim"|^$|^$|
!chmod 640 "$state"
a rewrite keeps the file's mode|0|W alloc >/dev/null; stat -c %a "$state"|^640$||~
only those who may write the state may open its lock|0|stat -c %a "$state.lock"|^600$||
!chmod 644 "$state.lock"; chmod 644 "$state"
a lock an earlier version left readable is narrowed|0|W alloc >/dev/null; stat -c %a "$state.lock"|^600$||~
!touch "$work/hold"; flock "$state.lock" sh -c 'while test -e "$1"; do sleep 0.05; done' sh "$work/hold" &
!while flock -n "$state.lock" true; do sleep 0.05; done
a change gives up after --wait, naming who holds the lock|3|W alloc --wait 0||^wwnpool: gave up after 0 s waiting for the lock $work/pools.lock, held by process [0-9]+ \(flock\); nothing was changed$|=
without a limit it waits, saying so once|0|(sleep 1.5; rm "$work/hold") & W alloc 2>&1 >/dev/null|^wwnpool: waiting for the lock $work/pools.lock, held by process [0-9]+ \(flock\); --wait SECONDS limits the wait$||~
a path that ends in / is refused, and nothing is made|3|("$tool" --state "$work/d/pools/" alloc; rc=$?; test ! -e "$work/d" && exit $rc)||^wwnpool: $work/d/pools/ ends in '/', so it names a folder, not a file|
!ln -s "$work/nowhere" "$work/dangling"
a folder that cannot be made is named|3|"$tool" --state "$work/dangling/pools" alloc||cannot create the folder of $work/dangling/pools: File exists|
a new state's folders are made, with the umask's modes|0|"$tool" --state "$work/made/here/pools" alloc >/dev/null 2>&1; stat -c %a "$work/made/here" "$work/made/here/pools"|^755 644$||
!head -c 17M /dev/zero | tr '\0' 0 >"$work/big"
a file over 16 MiB is no state|3|timeout 10 "$tool" --state "$work/big" list||$work/big is larger than 16 MiB|
!{ echo "# wwnpool state"; yes "$(grep -v "#" "$state" | head -n 1 | cut -c 1-32)" | head -n 100000; } >"$work/copies"
countless copies of one pool's line are answered in time|3|timeout 60 "$tool" --state "$work/copies" status||100000 line\(s\) of $work/copies cannot be trusted; changes are refused until|
!{ echo "# wwnpool state"; yes x | head -n 1000; } >"$work/junk"
a thousand lines that name no pool are each reported|3|"$tool" --state "$work/junk" status||^wwnpool: 1000 line\(s\) of $work/junk cannot be trusted|
one more, and the file is taken for another|3|echo x >>"$work/junk"; "$tool" --state "$work/junk" status||has more than 1000 lines that are not pool blocks; check that --state names the right file$|
ROWS

# Read-only answers never come from a line that cannot be trusted, and a
# damaged file is never rewritten.
"$tool" --state "$work/d" alloc 2 >/dev/null 2>&1
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
status names the damaged line|3|W status 20:00:12:34:56:78:9a:bc||damaged line [0-9]: .*, so nothing can be said about pool 20:00:12:34:56:78:9a:bc|=
list too|3|W list||damaged line [0-9]: |=
dump too|3|W dump||damaged line [0-9]: |=
a change is refused|3|W alloc||damaged line [0-9]: .*; the file is left as it is; |=
even in another pool|3|W take 2c:00:12:34:56:78:9a:bc||the file is left as it is|=
and creating a pool too|3|W init --page 2||the file is left as it is|=
ROWS
done
"$tool" --state "$work/d.cut" status 2>&- >/dev/null
env -u WWNPOOL_LOCAL "$tool" --state "$work/noticed" alloc 2>&- >/dev/null
check "with standard error closed, no message lands in a file" test ! -s "$work/d.cut.lock" -a ! -s "$work/noticed.lock"
state=$work/damaged
rows <<'ROWS'
!cp "$work/d.flipped" "$state"
a damaged pool's line comes with the command that resets it|3|W alloc||CRC mismatch\); the file is left as it is; to give up its addresses, reset that pool with 'wwnpool --state '$work/damaged' --local 10:00:12:34:56:78:9a:bc init --page 0 --force' \(all its addresses become free\)$|=
status --json marks the pool not ok, with its problem|3|W --json status|"line":2,"local":"10:00:12:34:56:78:9a:bc","page":0,"base":"20:00:12:34:56:78:9a:bc","ok":false,"problem":"pool block damaged \(CRC mismatch\)"|cannot be trusted|=
dump shows a damaged block as it is|3|W dump|^Version: 0x01 .*POOL_INFO: 2000123456789abc|CRC mismatch|=
!cp "$work/d.cut" "$state"
but a cut line is no block: only the refusal|3|W dump|^$|not a pool block \(expected 304 hex digits, found 200 characters\)|=
and --json shows its text as it is|3|W --json dump|"ok":false,"block":"0100000000000000200012[0-9a-f]{178}"\}$|not a pool block|=
!cp "$work/d.nonbase" "$state"
a line that names no pool can only be mended by hand|3|W alloc||it cannot tell which pool it held, so repair or remove that line by hand$|=
ROWS
cp "$work/d.flipped" "$work/kept"
"$tool" --state "$work/kept" init --force >"$work/out"
check "init --force keeps a damaged line beside the state" \
  test "$(tail -n 1 "$(sed -n 's/.*kept in //p' "$work/out")")" = "$(grep -v '#' "$work/d.flipped")"
cp "$work/d.twice" "$work/damaged"
"$tool" --state "$work/damaged" alloc 2>&1 | grep -o "'wwnpool [^']*'[^']*'[^']*'" | tr -d "'" | cut -c 9- >"$work/advice"
check "the advice for a duplicated pool repairs it" xargs "$tool" <"$work/advice" >/dev/null
check "into one line" test "$(grep -vc '#' "$work/damaged")" -eq 1
check "which answers again, its names in use" test "$("$tool" --state "$work/damaged" list | wc -l)" -eq 2

# What a damaged record says is never trusted either.
state=$work/records
W take --owner vm 20:20:12:34:56:78:9a:bc >/dev/null 2>&1
cp "$state" "$work/records.good"
grep '^A 2020' "$state" | python3 -c "
import sys, zlib
body = 'A 2030123456789abc - 766d'
crc = int.from_bytes(zlib.crc32(body.encode()).to_bytes(4, 'big'), 'little')
print(body + ' %08x' % crc)
print(sys.stdin.read().replace('766d', '766e'), end='')" >>"$state"
rows <<'ROWS'
a record of a free address is refused|3|W status 20:30:12:34:56:78:9a:bc||a record of 20:30:12:34:56:78:9a:bc, which its pool does not hold allocated|=
as is a damaged one|3|W list||line [0-9]+: |=
and no change is made over them|3|W alloc||the file is left as it is|=
nor a release|3|W release --owner vm 20:20:12:34:56:78:9a:bc||the file is left as it is|=
status names each of them, exit 3|3|W status|line [0-9]+: a record of 20:30:12:34:56:78:9a:bc, which its pool does not hold allocated line [0-9]+: address record damaged|[0-9] line\(s\) of $work/records cannot be trusted|=
a repair drops them, keeping them beside the state|0|W repair|^repaired: 2 record\(s\) dropped.* kept in $work/records.damaged-[0-9TZ]+-repair$||~
and the owner's record stands|0|W list --owner vm|^20:20:12:34:56:78:9a:bc$||=
!state=$work/single; W take --owner vm 24:00:12:34:56:78:9a:bc; grep '^A 2400' "$state" >"$work/unpaired"
!state=$work/pair; W alloc --pair --owner vm; sed -i '/^[AN] 2400/d' "$state"; cat "$work/unpaired" >>"$state"
a pair's record whose partner does not name it back is refused|3|W list --owner vm||a record pairing 20:00:12:34:56:78:9a:bc with 24:00:12:34:56:78:9a:bc, which is no partner of it|=
a repair keeps its owner, without the link|0|W repair; W list --long|^repaired: 1 record\(s\) kept without a partner.* 20:00:12:34:56:78:9a:bc  vm +- +-$||~
!state=$work/records
!cp "$work/records.good" "$state"; sed -i '/^0100000000000000200012/ s/^\(.\{40\}\)./\1f/' "$state"
decode needs no state, so a damaged one only leaves out the partner|0|W decode 20:05:12:34:56:78:9a:bc|index 5$||=
or one that is no file|0|"$tool" --state "$work" decode 20:05:12:34:56:78:9a:bc|index 5$||
nor a local WWN, even a bad one|0|WWNPOOL_LOCAL=zz W decode 20:05:12:34:56:78:9a:bc|index 5$||
!state=$work/paired; W alloc --pair --owner vm1 2; sed -i '/^0100000000000000200012/ s/^\(.\{40\}\)./\1f/' "$state"
a damaged pool's partners point to that pool's reset|3|W list --page 1||pool 24:00:12:34:56:78:9a:bc; to give up its addresses, reset that pool with .* init --page 0 --force'|=
which succeeds|0|W init --page 0 --force|^reset pool 20:00:12:34:56:78:9a:bc .* kept in $work/paired.damaged-||~
with the records of its names among the lines kept|0|cat "$work"/paired.damaged-*| [0-9a-f]{304} A 2000[^ ]* 2400.* A 2001[^ ]* 2401.* N 2400.* N 2401||=
and the partners keep their owners, without the link|0|W list --long --page 1|^ADDRESS .* 24:00:12:34:56:78:9a:bc  vm1 +- +- 24:01:12:34:56:78:9a:bc  vm1 +- +-$||=
!sed -i '/^0100000000000000200012/ s/^\(.\{40\}\)./\1e/' "$state"; W init --force; sed -i '/^0100000000000000200012/ s/^\(.\{40\}\)./\1f/' "$state"
a second reset within a second keeps its lines under a name of its own|0|W init --force >/dev/null; set -- "$work"/paired.damaged-*; echo $#|^3$||~
!state=$work/twice; W alloc --owner a; grep '^01' "$state" >"$work/older"; W alloc --owner b; sed -i "6r $work/older" "$state"
a pool kept twice points to a repair|3|W alloc||the same pool is on line 8 too; the file is left as it is; 'wwnpool --state '$work/twice' repair'|=
which merges the copies, keeping every name in use in either|0|W repair >/dev/null; W list --long|20:00:12:34:56:78:9a:bc  a +- +- 20:01:12:34:56:78:9a:bc  b ||~
!state=$work/cut; W alloc --pair --owner vm1; W release --owner vm1; sed -i '$d' "$state"; sed -i '$d' "$state"
a file cut at a line's end is refused, with a repair as the way out|3|W alloc||$work/cut: the file ends without its closing line, so lines at its end may be lost; the file is left as it is; 'wwnpool --state '$work/cut' repair'|=
which seals it anew, saying what may be lost|0|W repair|^repaired: the file sealed anew: .* may have been lost||~
and the rest it still records stands|0|W status 20:00:12:34:56:78:9a:bc|free \(resting since||=
!state=$work/emptied; W alloc; sed -i '1s/format 4/format 2/; $d' "$state"
a file of the format before the closing line still reads|0|W status|1 +1023$||=
a redirect into the state, which empties it, is no fresh state|3|W alloc >"$state"||$work/emptied is empty, so it is no state file; nothing was changed|
ROWS
finish
