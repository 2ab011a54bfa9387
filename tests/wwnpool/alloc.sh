#!/usr/bin/env bash
# Allocation: counts, pages, chosen addresses, port/node pairs and the forms
# other tools take; bad input refused with a reason and nothing changed.
# Usage: alloc.sh WWNPOOL
source "$(dirname "$0")/rows.sh"

rows <<'ROWS'
!W alloc 2; W take 24:10:12:34:56:78:9a:bc
a WWN operand that is no WWN is named with the reason|2|W take zz:00:12:34:56:78:9a:bc||^wwnpool: 'zz:00:12:34:56:78:9a:bc' is not a WWN \('z' is not a hex digit\); write it like|=
pages are 0 to 7|2|W alloc --page 8||^wwnpool: '8' is not a page; pages are 0 to 7$|=
a count is 1 or more|2|W alloc 0||'0' is not a count of addresses; give a number from 1 to 1024$|=
alloc takes one count|2|W alloc 1 2||alloc takes one COUNT|=
a local WWN is no pool address|2|W take 10:00:12:34:56:78:9a:bc||is not a pool address \(NAA 1\); pool addresses begin with 2 or 5$|=
an option a command does not have|2|W alloc --force||--force|=
an unknown command|2|W frobnicate||A subcommand is required; see 'wwnpool --help'$|=
an unknown option|2|W alloc --bogus||--bogus.*see 'wwnpool --help'$|=
an operand where the command takes none|2|W list extra||The following argument was not expected: extra; see 'wwnpool --help'$|=
one address twice, in two spellings|2|W take 2c:20:12:34:56:78:9a:bc 0x2c20123456789abc||2c:20:12:34:56:78:9a:bc is given twice; name each address once$|=
an option twice|2|W alloc --page 1 --page 2||--page: At Most 1 required but received 2|=
a flag twice|2|W init --force --force||--force is given twice|=
--state needs a path|2|"$tool" --state '' status||--state needs a path|
a pair pool cannot give more pairs than it has free|1|W alloc --pair 1024||have only 1021 free pairs; ask for fewer or use another page$|=
a taken address is refused|1|W take 24:10:12:34:56:78:9a:bc||24:10:12:34:56:78:9a:bc is already allocated; nothing was changed$|=
a free address cannot be released|1|W release 24:11:12:34:56:78:9a:bc||24:11:12:34:56:78:9a:bc is already free|=
take is all or nothing|1|W take 24:11:12:34:56:78:9a:bc 24:10:12:34:56:78:9a:bc||24:10:12:34:56:78:9a:bc is already allocated; nothing was changed|=
init of an existing pool asks for --force|1|W init||the pool of page 0 of 10:00:12:34:56:78:9a:bc already exists; add --force|=
a pool cannot give more addresses than it has free|1|W alloc 1024||pool 20:00:12:34:56:78:9a:bc has only 1022 free addresses; ask for fewer|=
-- ends the options|0|W take -- 2f:ff:12:34:56:78:9a:bc|^taken 2f:ff:12:34:56:78:9a:bc$|note: the local WWN 10:00:12:34:56:78:9a:bc holds a locally administered address|~
--page=P works and NAA 5 pages too|0|W alloc --page=6|^51:23:45:67:89:ab:c8:00$||~

# Pairs, owners and the forms other tools take.
!state=$work/pairs; W alloc 2; W take 24:02:12:34:56:78:9a:bc
pairs take the lowest index free in both pools, as vport_create wants them|0|W alloc --pair --owner vm42 --format vport 2|^2003123456789abc:2403123456789abc 2004123456789abc:2404123456789abc$||~
--format vport is for pairs|2|W alloc --format vport||--format vport writes port/node pairs; use it with 'alloc --pair', 'vport', 'owners', 'list --owner' or 'status'$|=
list --long shows owner and partner, in columns two apart|0|W list --long|^ADDRESS {18}OWNER .* 20:03:12:34:56:78:9a:bc +vm42 +24:03:12:34:56:78:9a:bc +-||=
status shows owner and partner|0|W status 24:04:12:34:56:78:9a:bc|^24:04:12:34:56:78:9a:bc in use  owner vm42  partner 20:04:12:34:56:78:9a:bc$||=
decode names the partner's page and index|0|W decode 24:03:12:34:56:78:9a:bc|page 1  index 3  partner page 0 index 3$||=
releasing one name of a pair frees both|0|W release --owner vm42 24:03:12:34:56:78:9a:bc|^released 24:03:12:34:56:78:9a:bc released 20:03:12:34:56:78:9a:bc$||~
release --owner frees all the owner holds|0|W release --owner vm42|^released 20:04:12:34:56:78:9a:bc released 24:04:12:34:56:78:9a:bc$||~
a pair skips the indexes that rest|0|W alloc --pair --owner vm7|^20:05:12:34:56:78:9a:bc 24:05:12:34:56:78:9a:bc$||~
the same line again prints the owner's pair and changes nothing|0|W alloc --pair --owner vm7|^20:05:12:34:56:78:9a:bc 24:05:12:34:56:78:9a:bc$|'vm7' already held 1 pair\(s\) here; nothing was changed; add --more for more$|=
asking for two allocates only the one missing|0|W alloc --pair --owner vm7 2|^20:05:[^ ]* 24:05:[^ ]* 20:06:[^ ]* 24:06:[^ ]*$|'vm7' already held 1 pair\(s\) here; allocated 1 more$|~
--more allocates all the same|0|W alloc --pair --more --owner vm7|^20:07:[^ ]* 24:07:[^ ]*$|^$|~
single addresses count apart from pairs|0|W alloc --owner vm7 2|^20:02:12:34:56:78:9a:bc 20:08:12:34:56:78:9a:bc$|^$|~
and are found again|0|W alloc --owner vm7|^20:02:12:34:56:78:9a:bc$|'vm7' already held 1 address\(es\) here; nothing was changed|=
--more needs an owner|2|W alloc --more||--more asks for more names for an owner; name it with --owner$|=
--json gives each pair's port and node|0|W --json alloc --pair --page 6|"pairs":\[\{"port":"5[0-9a-f:]+","node":"5[0-9a-f:]+"\}\]||~
a pair taken from an odd page knows its port|0|W take --pair --owner odd 24:0a:12:34:56:78:9a:bc; W --json status 24:0a:12:34:56:78:9a:bc 20:0a:12:34:56:78:9a:bc|"wwn":"24:0a[^}]*"role":"port".*"wwn":"20:0a[^}]*"role":"node"||~
list --json describes its pool|0|W --json list|^\{"command":"list","local":"10:00:12:34:56:78:9a:bc","page":0,"base":"20:00:12:34:56:78:9a:bc",||=
ROWS

# Four processes at once, 25 allocations of 4 addresses each (two of them as
# two owned pairs): 400 distinct addresses.
state=$work/race
for p in 1 2 3 4; do
  kind=("alloc 4" "alloc --page 2 --pair --more --owner p$p 2")
  (for i in $(seq 25); do W ${kind[p % 2]} || echo "alloc failed" >&2; done | tr ' ' '\n' >"$work/got.$p") &
done
wait
check "400 distinct addresses delivered" test "$(cat "$work"/got.* | sort -u | wc -l)" -eq 400
check "list shows them" test "$( (W list; W list --page 2; W list --page 3) | sort | diff - <(cat "$work"/got.* | sort) && echo same)" = same
check "and their owners" test "$(W list --owner p1 | wc -l)" -eq 100
rows <<'ROWS'
page 7 is the last|0|W alloc --page 7|^51:23:45:67:89:ab:cc:00$||~
take --pair takes each name with its partner, as a pair|0|W take --pair --owner vm7 51:23:45:67:89:ab:c4:40; W status 51:23:45:67:89:ab:c0:40|^taken 51:23:45:67:89:ab:c4:40 taken 51:23:45:67:89:ab:c0:40 51:23:45:67:89:ab:c0:40 in use  owner vm7  partner 51:23:45:67:89:ab:c4:40$||~
but not both of one pair|2|W take --pair 51:23:45:67:89:ab:c4:41 51:23:45:67:89:ab:c0:41||51:23:45:67:89:ab:c4:41 and 51:23:45:67:89:ab:c0:41 are one pair; with --pair, give one of them$|=
ROWS
finish
