#!/usr/bin/env bash
# libvirt's forms: its own parser (the test driver, no daemon needed) takes
# every XML the tool prints and shows the same names back.
# Usage: libvirt.sh WWNPOOL FAIL_DIR_FSYNC FAKE_FC_KERNEL
source "$(dirname "$0")/rows.sh"
if ! command -v virsh >/dev/null; then
  echo "SKIPPED: no virsh here (Debian's libvirt-clients)"
  exit 0
fi
virsh() { command virsh -q -c test:///default "$@"; }
hba host5 0x21000024ff000005 8

rows <<'ROWS'
!W alloc --pair --owner 'db/1 & <x>' --parent host1 --format libvirt-pool >"$work/pool.xml"
a pool defined from the tool's XML shows its name and names back|0|virsh "pool-define $work/pool.xml; pool-dumpxml 'db_1 & <x>'"|<name>db_1 &amp; &lt;x&gt;</name> .* <adapter type='fc_host' parent='scsi_host1' managed='yes' wwnn='2400123456789abc' wwpn='2000123456789abc'/>|^$|=
!W list --owner 'db/1 & <x>' --format libvirt --parent scsi_host1 >"$work/device.xml"
a node device made from it too|0|virsh "nodedev-create $work/device.xml; nodedev-dumpxml scsi_host12"|<parent>scsi_host1</parent> .*<wwnn>2400123456789abc</wwnn> +<wwpn>2000123456789abc</wwpn>|^$|=
!V vport create host5 --owner web1 --format libvirt-pool >"$work/vport.xml"
vport create describes the vport it made, on its parent|0|virsh "pool-define $work/vport.xml; pool-dumpxml web1"|<adapter type='fc_host' parent='scsi_host5' managed='yes' wwnn='2401123456789abc' wwpn='2001123456789abc'/>|^$|=
status of either name describes its pair|0|W status --format libvirt --parent host1 24:00:12:34:56:78:9a:bc|^<device> +<parent>scsi_host1</parent> .*<wwnn>2400123456789abc</wwnn> +<wwpn>2000123456789abc</wwpn>|^$|=
the forms describe one pair|2|W alloc --pair 2 --format libvirt --parent host1||the libvirt forms describe one pair|=
on a parent named|2|W alloc --pair --format libvirt||libvirt's forms need the FC host the vHBA is made on: add --parent host5$|=
which is an FC host|2|W alloc --pair --format libvirt --parent scsi_host||'scsi_host' is no FC host; give --parent as host5 or scsi_host5$|=
a pool is named after its owner|2|W alloc --pair --format libvirt-pool --parent host1||a libvirt pool is named after its owner: add --owner$|=
!W alloc --pair --more --owner web1
an owner of several pairs is no one pair|1|W list --owner web1 --format libvirt --parent host5||'web1' holds 2 pairs; the libvirt forms describe one$|=
ROWS
finish
