#!/usr/bin/env bash
# Owners and guard rails: an owned name is released only by naming its owner,
# a released one rests before alloc hands it out again, and another host's
# name is refused. Usage: owners.sh WWNPOOL
source "$(dirname "$0")/rows.sh"

rows <<'ROWS'
an owner with a control character is refused, shown escaped|2|W take --owner $'vm\x01' 2c:30:12:34:56:78:9a:bc||^wwnpool: the owner 'vm\\x01' holds a control character|=
an invisible format character is refused, shown escaped|2|W take --owner $'vm\xe2\x80\xae' 2c:30:12:34:56:78:9a:bc||^wwnpool: the owner 'vm\\xe2\\x80\\xae' holds an invisible format or separator character|=
an owner never looks like no owner|2|W take --owner - 2c:30:12:34:56:78:9a:bc||the owner '-' may not start with '-'|=
nor like an option left without its value|2|W alloc --owner --force||the owner '--force' may not start with '-'|=
an owner in UTF-8 is kept as it is|0|W --json take --owner 'vm é' 20:20:12:34:56:78:9a:bc|^\{"command":"take","owner":"vm é","addresses":\["20:20:12:34:56:78:9a:bc"\]\}$||~
status --json gives each address its state and owner, null for none|0|W take 20:00:12:34:56:78:9a:bc; W --json status 20:20:12:34:56:78:9a:bc 20:00:12:34:56:78:9a:bc|"owner":"vm é","page":0,"state":"in use","resting_since":null.*"owner":null,"page":0,"state":"in use"||~

!state=$work/guard; W alloc --pair --owner vm1; W alloc --owner vm2; W alloc
!echo "# a note of the administrator's" >>"$state"
an owned name is not released without its owner|1|W release 24:00:12:34:56:78:9a:bc||24:00:12:34:56:78:9a:bc is held by 'vm1'; nothing was changed; add --owner 'vm1'|=
the advice quotes the owner for the shell|1|W take --owner "it's" 20:30:12:34:56:78:9a:bc; W release 20:30:12:34:56:78:9a:bc||add --owner 'it'\\''s' if it is theirs to give back|~
!W release --owner "it's" 20:30:12:34:56:78:9a:bc
nor by naming another owner|1|W release --owner vm2 20:00:12:34:56:78:9a:bc||20:00:12:34:56:78:9a:bc is held by 'vm1'|=
an owner that holds nothing|1|W release --owner nobody||no address is held by 'nobody'; 'wwnpool owners' lists the owners$|=
an option that does not apply is refused|2|W release --page 3 20:00:12:34:56:78:9a:bc||--page names a pool for 'release --all'; a WWN names its own pool|=
release --all needs its page|2|W release --all||release --all frees a whole pool; name it with --page P$|=
release --all keeps owned names unless forced|1|W release --all --page 0||holds addresses with owners \(1 without owner, 2 of 'vm1', 1 of 'vm2'\); nothing was changed|=
release --all of a pool that is not there|1|W release --all --page 5||there is no pool 51:23:45:67:89:ab:c4:00 \(page 5 of 10:00:12:34:56:78:9a:bc\)|=
list of a pool that is not there|1|W list --page 5||there is no pool 51:23:45:67:89:ab:c4:00.*'wwnpool status' lists the pools|=
another host's name is refused, naming both hosts, pointing to decode|2|W take 20:07:12:34:56:78:9a:bd||20:07:12:34:56:78:9a:bd is a name of the host 10:00:12:34:56:78:9a:bd, not of this host 10:00:12:34:56:78:9a:bc .*; check the address \('wwnpool decode 20:07:12:34:56:78:9a:bd' tells where it comes from\)|=
also for release|2|W release 20:02:12:34:56:78:9a:bd||is a name of the host 10:00:12:34:56:78:9a:bd|=
a rest period must read|2|WWNPOOL_REST=5y W alloc||'5y' is not a rest period|=
naming the owner releases both names of its pair|0|W release --owner vm1 24:00:12:34:56:78:9a:bc|^released 24:00:12:34:56:78:9a:bc released 20:00:12:34:56:78:9a:bc$||~
a released name rests: alloc passes it by|0|W alloc|^20:03:12:34:56:78:9a:bc$||~
status says since when it rests|0|W status 20:00:12:34:56:78:9a:bc|^20:00:12:34:56:78:9a:bc free \(resting since 20[0-9-]+T[0-9:]+Z\)$||=
and list --long|0|W list --long|20:00:12:34:56:78:9a:bc .* since 20||=
--rest 0 hands it out at once|0|W alloc --rest 0|^20:00:12:34:56:78:9a:bc$||~
take of a resting name says so|0|W take 24:00:12:34:56:78:9a:bc|^taken 24:00:12:34:56:78:9a:bc$|24:00:12:34:56:78:9a:bc was released at .* and is resting; it is taken all the same|~
status calls another host's name so|0|W status 20:07:12:34:56:78:9a:bd|belongs to another host, 10:00:12:34:56:78:9a:bd||=
release --all --force counts each owner's names|0|W release --all --page 0 --force|^released 4 addresses of pool 20:00:12:34:56:78:9a:bc \(3 without owner, 1 of 'vm2'\)$||~
!W alloc --pair 2; W alloc 2
release --all counts each pool's share, partners too|0|W release --all --page 0|^released 6 addresses: 4 of pool 20:00:12:34:56:78:9a:bc, 2 of pool 24:00:12:34:56:78:9a:bc \(6 without owner\)$||~
a person's comment survives rewrites|0|grep -c "^# a note of the administrator's" "$state"|^1$||
status names the state file|0|W status|^state file $work/guard LOCAL ||=
!state=$work/rest; W alloc 1024; W release 20:05:12:34:56:78:9a:bc; sleep 1; W release 20:03:12:34:56:78:9a:bc
with nothing else free, the longest rested goes first|0|W alloc|^20:05:12:34:56:78:9a:bc$|nothing else was free, so 1 address\(es\) released less than the rest period ago were handed out.*20:05|~
!W alloc --pair --page 4 1024; W release 51:23:45:67:89:ab:c0:05
and so for a pair, told too|0|W alloc --pair --page 4|^51:23:45:67:89:ab:c0:05 51:23:45:67:89:ab:c4:05$|nothing else was free, so 2 address\(es\) released less than the rest period ago were handed out|~
release --all --json lists what it released|0|W --json release --all --page 4 --force|"released":2048,"addresses":\["51:23:45:67:89:ab:c0:00",||~
init --json names the pool it made|0|W --json init --page 6|^\{"command":"init","local":"10:00:12:34:56:78:9a:bc","page":6,"base":"51:23:45:67:89:ab:c8:00","reset":false,"kept":null\}$||~
alloc --pair from an odd page takes the node from the even one|0|W alloc --pair --page 7|^51:23:45:67:89:ab:cc:00 51:23:45:67:89:ab:c8:00$||~
ROWS
finish
