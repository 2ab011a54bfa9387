#!/usr/bin/env bash
# check: the state files of a fleet, compared for hosts that would hand out
# the same names. Usage: check.sh WWNPOOL
source "$(dirname "$0")/rows.sh"
W alloc --owner vm1 2>/dev/null >&2
cp "$state" "$work/clone" # a cloned VM's state
"$tool" --state "$work/other" --local 10:00:00:1b:21:00:00:09 alloc >/dev/null
printf '# wwnpool state\n%s\n' "$(grep -v '#' "$state" | cut -c 1-200)" >"$work/cut"

rows <<'ROWS'
hosts of their own are clean|0|"$tool" check "$state" "$work/other"|^clean: 2 files, 2 local WWNs, 2 pools, no name two of them share$||
a clone shares its local WWN and its pools|1|"$tool" check "$state" "$work/other" "$work/clone"|^local: $work/pools line [0-9]+ and $work/clone line [0-9]+: hosts share the local WWN 10:00:12:34:56:78:9a:bc and hand out the same names; .* pool: .* is kept 2 times$||
a damaged line is a finding, exit 3 as status says|3|"$tool" check "$work/cut"|^damaged: $work/cut line 2: not a pool block||
a missing file cannot be checked|3|"$tool" check "$state" "$work/nothing"|^unreadable: $work/nothing: No such file or directory$||
a loop of links is said to be one|3|ln -s loop "$work/loop"; "$tool" check "$work/loop"|^unreadable: $work/loop: Too many levels of symbolic links$||
a file named twice, or by a link, counts once|0|ln -s pools "$work/link"; "$tool" check "$state" "$work/link" "$work/./pools"|^clean: 1 files, 1 local WWNs||
a clone's names both hand out are named, with each file's owner|1|"$tool" check "$state" "$work/clone"|name: $work/pools line [0-9]+ and $work/clone line [0-9]+: 20:00:12:34:56:78:9a:bc is allocated in 2 files: owner 'vm1' in $work/pools, owner 'vm1' in $work/clone ||
nor a folder|3|"$tool" check "$work"|^unreadable: $work: $work is not a regular file||
--json lists the findings by kind|1|"$tool" --json check "$state" "$work/clone"|"clean":false.*"kind":"local".*"kind":"pool"||
check needs files|2|"$tool" check||check needs the state files to compare|
ROWS
finish
