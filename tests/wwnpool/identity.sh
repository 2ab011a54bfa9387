#!/usr/bin/env bash
# Which local WWN names the host: the option, the variable, the state's pools,
# then a hardware interface. Usage: identity.sh WWNPOOL
source "$(dirname "$0")/rows.sh"
nic() { # nic NAME MAC ADDR_ASSIGN_TYPE DEVICE_FOLDER: one interface of the fake host
  mkdir -p "$WWNPOOL_SYSFS/$4/net/$1" "$WWNPOOL_SYSFS/class/net"
  echo "$2" >"$WWNPOOL_SYSFS/$4/net/$1/address"
  echo "$3" >"$WWNPOOL_SYSFS/$4/net/$1/addr_assign_type"
  ln -s "../../$4/net/$1" "$WWNPOOL_SYSFS/class/net/$1"
}

rows <<'ROWS'
# A VM whose only hardware MAC is locally administered. The loopback, a
# bridge, a random-address NIC and a multicast one never count.
!nic lo 00:00:00:00:00:00 0 devices/virtual; nic br0 00:1b:21:00:00:01 0 devices/virtual
!nic eth0 02:fc:00:00:00:01 0 devices/pci0000:00/0000:00:03.0; nic eth1 00:1b:21:00:00:02 1 devices/pci0000:00/0000:00:04.0
!nic eth2 01:1b:21:00:00:03 0 devices/pci0000:00/0000:00:05.0; state=$work/host
a locally administered MAC names the host|0|WWNPOOL_LOCAL= W local|^10:00:02:fc:00:00:00:01  interface eth0, locally administered MAC$||
but a state other than the host's takes no identity from its interfaces|2|WWNPOOL_LOCAL= W alloc||^wwnpool: the names of this host's own identity 10:00:02:fc:00:00:00:01 \(interface eth0, locally administered MAC\) have one ledger, the host's state /var/lib/wwnpool/pools, and $work/host is another; use the host's state \(leave out --state\), or give a private or test state a made-up local WWN|=
!W --local 10:00:02:fc:00:00:00:01 alloc
the state's pools pin the identity once made|0|WWNPOOL_LOCAL= W local|^10:00:02:fc:00:00:00:01  the pools already in the state file$||=
local --json names its source|0|WWNPOOL_LOCAL= W --json local|"local":"10:00:02:fc:00:00:00:01","source":"state","interface":null||=
a file holds one host's pools|2|W alloc||holds the pools of the host 10:00:02:fc:00:00:00:01, and a file holds one host's pools; keep the pools of 10:00:12:34:56:78:9a:bc in a state file of their own \(--state PATH\)$|=
!"$tool" --state "$work/uni" --local 10:00:00:1b:21:aa:bb:cc alloc
a universal identity the state pins warns of nothing|0|WWNPOOL_LOCAL= "$tool" --state "$work/uni" alloc --page 2|^28:00:00:1b:21:aa:bb:cc$|^$|
ROWS

# The host's own state, /var/lib/wwnpool/pools, in a private mount namespace
# so that the real one is never touched: the README's first command as root,
# named after eth0's MAC with a warning, 755/644 modes, and a user who may
# read it but not change it.
if unshare --mount true 2>/dev/null; then
  seen=$(unshare --mount bash -c '
    mount -t tmpfs tmpfs /var/lib || exit 1
    export -n WWNPOOL_STATE WWNPOOL_LOCAL
    names=$("$0" alloc 4 2>&1 >/dev/null | grep -c "named this host 10:00:02:fc:00:00:00:01 after the locally administered MAC of eth0")
    names+=" $("$0" alloc 3 2>/dev/null)" && echo -n "root: $(wc -w <<<"$names") words"
    echo -n ", $(stat -c %a /var/lib/wwnpool /var/lib/wwnpool/pools | xargs)"
    as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
    as_user "$0" --version >/dev/null 2>&1 || exit 0 # the build is in a folder only root may enter
    as_user "$0" alloc 2>&1 | grep -q "belong to this host.*root.*one ledger.*--state PATH) needs a made-up --local"
    echo -n "; user: alloc exit ${PIPESTATUS[0]}, told $?, status exit "
    as_user "$0" status >/dev/null 2>&1; echo $?
  ' "$tool")
  check "the host's own state, as root and as a user: $seen" \
    grep -qE "^root: 4 words, 755 644(; user: alloc exit 3, told 0, status exit 0)?$" <<<"$seen"
  grep -q "user:" <<<"$seen" || echo "SKIPPED: another user's view of the host's state (that user may not run $tool)"
else
  echo "SKIPPED: the default state location needs a private mount namespace (unshare --mount), not permitted here"
fi

rows <<'ROWS'
!nic a0 02:fc:00:00:00:0a 0 devices/pci0000:00/0000:00:02.0; nic ens9 00:1b:21:aa:bb:cc 0 devices/pci0000:00/0000:00:06.0
a universally administered MAC goes first|0|WWNPOOL_LOCAL= "$tool" --state "$work/fresh" local|^10:00:00:1b:21:aa:bb:cc  interface ens9, universally administered MAC$||
the variable goes before the state|0|W local|^10:00:12:34:56:78:9a:bc  environment variable WWNPOOL_LOCAL$||=
the option goes before the variable|0|W --local 10:00:00:00:00:00:00:07 --json local|"source":"option"||=
no interface to name the host is a usage error|2|WWNPOOL_LOCAL= WWNPOOL_SYSFS=$work/none "$tool" --state "$work/fresh" alloc||no network interface of this host has a permanent MAC address.*--local|
a bare MAC stands for 10:00 and the MAC|0|"$tool" --local 02:fc:00:00:00:09 local|^10:00:02:fc:00:00:00:09 ||
a given locally administered MAC is warned of too|0|"$tool" --state "$work/mac" --local 02:fc:00:00:00:09 alloc||the local WWN 10:00:02:fc:00:00:00:09 holds a locally administered address|
an all-zero local WWN is no host's|2|W --local 10:00:00:00:00:00:00:00 alloc||from --local is 10:00:00:00:00:00:00:00, an address no host owns|=
the variable is checked like the option|2|WWNPOOL_LOCAL=10:00:00:00:00:00:00:00 W status 20:00:12:34:56:78:9a:bc||from WWNPOOL_LOCAL is 10:00:00:00:00:00:00:00|=
ROWS
check "nothing is made for a refused command" test ! -e "$work/fresh"
finish
