#!/usr/bin/env bash
# The kernel's FC transport, as far as vports go, over a fake sysfs tree:
# "WWPN:WWNN" (16 hex digits each, a newline allowed) written to
# class/fc_host/hostH/vport_create makes class/fc_vports/vport-H:0-N (N never
# reused) with port_name and node_name printed as 0x and unpadded hex,
# vport_state and symbolic_name, and the vport's own FC host; the same written
# to vport_delete removes both. Exits with the errno the kernel returns:
# EINVAL (22) for a malformed write, ENOSPC (28) when npiv_vports_inuse has
# reached max_npiv_vports, ENOTUNIQ (76) for a port name an FC host carries,
# ENODEV (19) for a pair no vport of the host has. A test makes a host refuse
# with errno E by writing E to its file "refuse", and sets the state new
# vports reach in "next_state" (default Active).
# Usage: fake_fc_kernel.sh SWITCH_PATH TEXT LENGTH (fake_fc_kernel.c runs it)
set -u
switch=$1 text=${2%$'\n'} length=$3
dir=${switch%/*}
host=${dir##*/host} class=${dir%/fc_host/*}
if [ -e "$dir/refuse" ]; then exit "$(cat "$dir/refuse")"; fi
[[ $length -le 34 && $text =~ ^[0-9a-fA-F]{16}:[0-9a-fA-F]{16}$ ]] || exit 22
sysfs_form() { local hex=${1,,}; hex=${hex##+(0)}; echo "0x${hex:-0}"; }
shopt -s extglob nullglob
port=$(sysfs_form "${text:0:16}") node=$(sysfs_form "${text:17}")
carrying() { for d in "$@"; do [ "$(cat "$d/port_name")" = "$port" ] && [ "$(cat "$d/node_name")" = "$node" ] && echo "$d"; done; }
in_use=$(cat "$dir/npiv_vports_inuse")
if [[ $switch == */vport_create ]]; then
  ((in_use < $(cat "$dir/max_npiv_vports"))) || exit 28
  grep -qx "$port" "$class"/fc_host/*/port_name && exit 76
  number=$(cat "$dir/next_vport_number" 2>/dev/null || echo 0)
  last=$(ls "$class/fc_host" | sed -n 's/^host//p' | sort -n | tail -n 1)
  vport=$class/fc_vports/vport-$host:0-$number own=$class/fc_host/host$((last + 1))
  mkdir "$vport" "$own" || exit 5
  for d in "$vport" "$own"; do echo "$port" >"$d/port_name" && echo "$node" >"$d/node_name"; done
  cat "$dir/next_state" >"$vport/vport_state" 2>/dev/null || echo Active >"$vport/vport_state"
  echo >"$vport/symbolic_name" && echo $((number + 1)) >"$dir/next_vport_number" && echo $((in_use + 1)) >"$dir/npiv_vports_inuse"
else
  vport=$(carrying "$class/fc_vports/vport-$host:0-"*)
  [ -n "$vport" ] || exit 19
  rm -rf "$vport" $(carrying "$class"/fc_host/host*) && echo $((in_use - 1)) >"$dir/npiv_vports_inuse"
fi
