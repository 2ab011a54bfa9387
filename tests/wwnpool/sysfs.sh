#!/usr/bin/env bash
# The names this host's FC hosts and vports carry are never handed out: scan
# marks them taken, alloc claims them before it chooses, take refuses them.
# Usage: sysfs.sh WWNPOOL
source "$(dirname "$0")/rows.sh"
export WWNPOOL_SYSFS=$work/fc

rows <<'ROWS'
a host without FC says so|0|W scan|^no FC host or vport names found under $work/fc/class$||
!fc fc_host host5 0x2000123456789abc 0x1000123456789abc; fc fc_vports vport-5:0-0 0x2003123456789abc 0x2403123456789abc
!fc fc_host host6 0x21000024ff000001 0x2005123456789abc
scan marks pool names taken and lists the others|0|W scan|^taken  20:00:12:34:56:78:9a:bc  host5 port taken  20:05:[^ ]* +host6 node taken  20:03:[^ ]* +vport-5:0-0 port taken  24:03:[^ ]* +vport-5:0-0 node another host's  21:00:00:24:ff:00:00:01  host6 port  of the pools of 10:00:00:24:ff:00:00:01 outside the pools  10:00:12:34:56:78:9a:bc  host5 node$||~
a vport's port and node of one index become a pair|0|W status 20:03:12:34:56:78:9a:bc|^20:03:12:34:56:78:9a:bc in use  owner sysfs:vport-5:0-0  partner 24:03:12:34:56:78:9a:bc$||=
a second scan changes nothing|0|W --json scan|"taken":\[\],"already_taken":\[(\{[^}]*\},){3}\{[^}]*\}\],"other_hosts":\[\{"wwn":"21:00:00:24:ff:00:00:01"[^}]*"local":"10:00:00:24:ff:00:00:01"[^}]*"role":"port"||=
and shows the owners of what it finds taken|0|W scan|^already taken  20:00:12:34:56:78:9a:bc  host5 port  owner sysfs:host5 ||=
!fc fc_host host6 0x2001123456789abc 0x20000024ff000001
alloc claims a name in use before it chooses|0|W alloc|^20:02:12:34:56:78:9a:bc$||~
with its sysfs owner|0|W status 20:01:12:34:56:78:9a:bc|owner sysfs:host6$||=
!W release 20:02:12:34:56:78:9a:bc; fc fc_host host6 0x2002123456789abc 0x20000024ff000001; W alloc
a released name an FC host carries again is claimed again|0|W status 20:02:12:34:56:78:9a:bc|^20:02:12:34:56:78:9a:bc in use  owner sysfs:host6$||=
!fc fc_host host6 0x2004123456789abc 0x20000024ff000001
take refuses a name in use, naming its user|1|W take 20:04:12:34:56:78:9a:bc||20:04:12:34:56:78:9a:bc is in use by sysfs:host6 on this host; nothing was changed|=
!rm -rf "$work/fc"; fc fc_host host7 0x2006123456789abc 0x2007123456789abc; state=$work/own
only names of the pools: scan lists them and nothing more|0|W scan|^taken  20:06:12:34:56:78:9a:bc  host7 port taken  20:07:12:34:56:78:9a:bc  host7 node$||~
!rm -rf "$work/fc/class/fc_host/host7"; e=$work/fc/class/fc_host/$(printf 'h\001\377%.0s' {1..60}); mkdir "$e"; echo 0x2008123456789abc >"$e/port_name"
an entry whose name is no owner is taken under one, shown escaped and cut|0|W scan|^taken  20:08:12:34:56:78:9a:bc  h\\x01\\xffh.* port$||~
which the tool reads back|0|W list --long|20:08:12:34:56:78:9a:bc  sysfs:h\\x01\\xffh||=
!rm -rf "$work/fc/class/fc_host/h"*; fc fc_host host8 0x2009123456789abc 0x1000123456789abc; rm "$work/fc/class/fc_host/host8/port_name"; mkfifo "$work/fc/class/fc_host/host8/port_name"
a FIFO for a name hangs nothing, and nothing is handed out|3|timeout 10 "$tool" --state "$state" alloc||host8/port_name: not a regular file; the names this host's FC hosts carry cannot be checked, so nothing was changed$|=
!rm "$work/fc/class/fc_host/host8/port_name"; ln -s /dev/zero "$work/fc/class/fc_host/host8/port_name"
a name linked to a device is not read|3|timeout 10 "$tool" --state "$state" scan||host8/port_name: not a regular file|=
!rm -rf "$work/fc/class/fc_host"; touch "$work/fc/class/fc_host"
an unreadable folder of FC hosts is no empty one|3|W alloc --pair||cannot read $work/fc/class/fc_host: Not a directory; the names|=
ROWS
finish
