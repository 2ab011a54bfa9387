#!/usr/bin/env bash
# Virtual HBAs, made and removed in one command each, over a fake sysfs tree
# whose kernel part the preloaded stand-in plays: a failure leaves the state
# and the tree as they were, and a name on the fabric is never freed.
# Usage: vport.sh WWNPOOL FAIL_DIR_FSYNC FAKE_FC_KERNEL
source "$(dirname "$0")/rows.sh"
tree() { (cd "$work/sys" && grep -r '' . | sort); }
hba host5 0x21000024ff000005 2 && hba host6 0x21000024ff000006 8
h6=$work/sys/class/fc_host/host6 fail_dir_fsync=$2

rows <<'ROWS'
!echo 95 >"$work/sys/class/fc_host/host5/refuse"
a refused first vport makes no state|1|V vport create host5 --owner web1 2>&1|host5 refused a vport for 20:00:12:34:56:78:9a:bc:24:00:12:34:56:78:9a:bc: host5 does not support NPIV \(its driver makes no vports\); nothing was changed$||=
!rm "$work/sys/class/fc_host/host5/refuse"
a vport is made with a pair of the pools|0|V vport create host5 --owner web1|^vport-5:0-0  host5  20:00:12:34:56:78:9a:bc  24:00:12:34:56:78:9a:bc  Active  web1$||~
the kernel got its names, and the owner names it on the fabric|0|cat $work/sys/class/fc_vports/vport-5:0-0/{port_name,node_name,symbolic_name}|^0x2000123456789abc 0x2400123456789abc web1$|^$|=
the same command again changes nothing|0|V vport create host5 --owner web1|^vport-5:0-0  host5  20:00:[^ ]*  24:00:[^ ]*  Active  web1$|'web1' already has vport-5:0-0 on host5; nothing was changed; add --more for another$|=
a vport needs an owner|2|V vport create host5||vport create needs --owner|=
and an FC host that makes vports|2|V vport create ../host5 --owner x||'../host5' is no FC host that makes vports|=

# A name on the fabric is never freed.
release refuses a live vport's names and names the vport to delete|1|V release --owner web1||20:00:12:34:56:78:9a:bc is carried by vport-5:0-0 now; nothing was changed; 'wwnpool vport delete vport-5:0-0' removes the vport|=
--force does not override it|1|V release --force 24:00:12:34:56:78:9a:bc||24:00:12:34:56:78:9a:bc is carried by vport-5:0-0 now|=
nor does releasing the whole pool|1|V release --all --page 1 --force||is carried by vport-5:0-0 now|=

# When the kernel refuses, the state and the tree are as they were.
!V vport create host5 --owner web2; tree >"$work/tree.before"
no free vport: how many are in use|1|V vport create host5 --owner web3||host5 refused a vport for 20:02:[^ ]*: host5 has no free vport \(2 of 2 in use\); nothing was changed$|=
!echo 76 >"$h6/refuse"
a name the fabric or the driver knows|1|V vport create host6 --owner web3||host6 refused a vport for 20:02:[^ ]*: the fabric or the driver already knows one of these names; nothing was changed$|=
!echo 22 >"$h6/refuse"
a malformed write|1|V vport create host6 --owner web3||the kernel found the names malformed; nothing was changed$|=
!rm "$h6/refuse"
the tree is as it was|0|diff <(tree) "$work/tree.before"|^$|^$|=
a state that cannot be saved takes the new vport with it|3|FAIL_FCHMOD=1 LD_PRELOAD="$kernel $fail_dir_fsync" ASAN_OPTIONS=verify_asan_link_order=0 "$tool" --state "$state" vport create host6 --owner web3||cannot set the mode of .*; nothing was changed; .*; the vport host6 had made for 20:02:12:34:56:78:9a:bc:24:02:12:34:56:78:9a:bc was deleted again$|=
and no vport is left behind|1|test -e "$work/sys/class/fc_vports/vport-6:0-0"|^$|^$|=

# A vport the fabric rejects: its names are kept out of use.
!echo 'Fabric Rejected WWN' >"$h6/next_state"
it is deleted and its names kept|1|V vport create host6 --owner db1||vport-6:0-1 on host6 reached "Fabric Rejected WWN": the fabric refused 20:02:[^ ]*, most likely because another port carries one of them; deleted it and kept both names out of use as 'fabric rejected for db1'; run the same command again for a new pair$|~
!rm "$h6/next_state"
the same command again gets a new pair|0|V vport create host6 --owner db1|^vport-6:0-2  host6  20:03:[^ ]*  24:03:[^ ]*  Active  db1$|^$|~
the rejected names stay allocated|0|V --json list --owner 'fabric rejected for db1'|"addresses":\["20:02:12:34:56:78:9a:bc","24:02:12:34:56:78:9a:bc"\]||=

# Deleting releases, the owner named.
deleting an owned vport needs its owner|1|V vport delete vport-5:0-0||vport-5:0-0 is held by 'web1'; nothing was changed; add --owner 'web1'|=
which deletes it and releases its names|0|V vport delete vport-5:0-0 --owner web1|^deleted vport-5:0-0 on host5; released 20:00:12:34:56:78:9a:bc 24:00:12:34:56:78:9a:bc$|^$|~
the vport and its FC host are gone|1|test -e $work/sys/class/fc_vports/vport-5:0-0 -o -e $work/sys/class/fc_host/host7|^$|^$|=
and its names rest|0|V status 20:00:12:34:56:78:9a:bc|^20:00:12:34:56:78:9a:bc free \(resting since|^$|=
one named by a WWN|0|V --json vport delete --owner web2 24:01:12:34:56:78:9a:bc|"vport":"vport-5:0-1".*"released":\["20:01:[^]]*24:01|^$|~
an owner without a vport is told so|1|V vport delete --owner web1||'web1' has no vport on this host; 'wwnpool vport list' shows them$|=

# Drift, both ways.
!LD_PRELOAD=$kernel sh -c 'echo 2007123456789abc:2407123456789abc >"$0"' "$work/sys/class/fc_host/host5/vport_create"
!LD_PRELOAD=$kernel sh -c 'echo 2000aabbccddeeff:2400aabbccddeeff >"$0"' "$work/sys/class/fc_host/host5/vport_create"
a vport the state does not hold shows as drift|0|V vport list|vport-5:0-2  host5  20:07:[^ ]*  24:07:[^ ]*  Active  - +drift: 20:07:12:34:56:78:9a:bc is free in the state; 'wwnpool scan' marks it taken +drift: 24:07|^$|=
and one of another host's pools|0|V --json vport list|"vport":"vport-5:0-3".*"problems":\["20:00:aa:bb:cc:dd:ee:ff is of another host's pools \(local WWN 10:00:aa:bb:cc:dd:ee:ff\)"|^$|=
!LD_PRELOAD=$kernel sh -c 'echo 2003123456789abc:2403123456789abc >"$0"' "$h6/vport_delete"
a vport gone without 'vport delete' shows, with what makes it again|0|V vport list|gone: host6's vport of 'db1' with 20:03:12:34:56:78:9a:bc 24:03:12:34:56:78:9a:bc; 'wwnpool vport create host6 --owner 'db1'' makes it again|^$|=
which makes it with the same names|0|V vport create host6 --owner db1|^vport-6:0-3  host6  20:03:[^ ]*  24:03:[^ ]*  Active  db1$|^$|=

!V vport create host6 --owner two; V vport create host6 --owner two --more
an owner's vports go in one command, one JSON document|0|V --json vport delete --owner two|^\{"command":"vport delete","deleted":\[\{"vport":"vport-6:0-4","parent":"host6","released":\["20:0[^]]*\]\},\{"vport":"vport-6:0-5",[^]]*\]\}\]\}$|^$|~

# Owners that move, and a view of all owners.
!state=$work/owners; export WWNPOOL_SYSFS=$work/none; W alloc --pair --owner db2; W alloc --owner web; W take --pair --owner odd 24:05:12:34:56:78:9a:bc
every owner with its names, a pair on one line, port first|0|W owners --format vport|^db2  2000123456789abc:2400123456789abc odd  2405123456789abc:2005123456789abc web  2001123456789abc$|^$|=
in --json each name has its page, and a pair's its role and partner|0|W --json owners|"owner":"db2","names":\[\{"wwn":"20:00:12:34:56:78:9a:bc","owner":"db2","page":0,"partner":"24:00:12:34:56:78:9a:bc","role":"port"\},\{"wwn":"24:00[^}]*"page":1,[^}]*"role":"node"\}\]||=
a moved VM's names are relabelled, pairs kept|0|W relabel --owner db2 --to db2@hostB|^relabelled 20:00:12:34:56:78:9a:bc to db2@hostB relabelled 24:00:12:34:56:78:9a:bc to db2@hostB$|^$|~
and stay allocated here under the new owner|0|W status --format vport 24:00:12:34:56:78:9a:bc|^2400123456789abc in use  owner db2@hostB  pair 2000123456789abc:2400123456789abc$|^$|=
an owned name is relabelled only by naming its owner|1|W relabel 20:01:12:34:56:78:9a:bc --to y||20:01:12:34:56:78:9a:bc is held by 'web'; nothing was changed; add --owner 'web' if it is theirs to hand over \(or --force\)$|=
a free name has nobody to hand over|1|W relabel --force 20:09:12:34:56:78:9a:bc --to y||20:09:12:34:56:78:9a:bc is not allocated; nothing was changed$|=
the new owner is checked like any|2|W relabel --owner web --to -x||the owner '-x' may not start with '-'|=
list --owner in the vport form gives what vport_delete takes|0|W list --owner odd --format vport|^2405123456789abc:2005123456789abc$|^$|=

# A name a vport carries is never handed out as a new pair's node either.
!export WWNPOOL_SYSFS=$work/sys; state=$work/claim; hba host20 0x21000024ff000020 8
!LD_PRELOAD=$kernel sh -c 'echo 2001aabbccddeeff:2c00123456789abc >"$0"' "$work/sys/class/fc_host/host20/vport_create"
vport create skips it|0|V vport create host20 --owner claim --page 2|^vport-20:0-1  host20  28:01:12:34:56:78:9a:bc  2c:01:12:34:56:78:9a:bc  Active  claim$||~
!V vport create host20 --owner r1 --page 2; V vport delete --owner r1
a resting pair that vport create hands out again rests no more|0|V vport create host20 --owner r2 --page 2 --rest 0 >/dev/null; V list --long --page 2; V list --long --page 3|28:02:12:34:56:78:9a:bc +r2 +2c:02:12:34:56:78:9a:bc +- .*2c:02:12:34:56:78:9a:bc +r2 +28:02:12:34:56:78:9a:bc +-|^$|~
ROWS
finish
