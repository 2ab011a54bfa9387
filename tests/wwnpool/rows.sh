# What every area's test of wwnpool shares; sourced with the tool's path as $1.
# Most checks are rows TITLE|EXIT|COMMAND|STDOUT|STDERR|STATE: COMMAND (mostly
# `W ARGS`, wwnpool on $state) exits EXIT; its output, lines joined by spaces,
# matches the regular expression STDOUT; its standard error is empty (^$) or
# one line matching STDERR (an empty pattern allows anything); STATE "=" keeps
# the state file byte for byte, "~" changes it. "!COMMAND" rows set the scene.
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
umask 022
# Every command names its state; one that forgot would use this, never the host's.
export WWNPOOL_STATE=$work/unnamed WWNPOOL_LOCAL=10:00:12:34:56:78:9a:bc WWNPOOL_SYSFS=$work/sys
# Nor the host's registry: only the registry's test names one, of its own.
export WWNPOOL_CONFIG=/nonexistent/wwnpool.conf
unset WWNPOOL_REGISTRY
state=$work/pools
W() { "$tool" --state "$state" "$@"; }
passed=0 failed=0
check() { # check TITLE CONDITION...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}
rows() {
  local line title code command want_out want_err keep rc why out err IFS
  while IFS= read -r line; do
    case $line in '' | '#'*) continue ;; '!'*) eval "${line#!}" </dev/null >/dev/null 2>&1; continue ;; esac
    IFS='|' read -r title code command want_out want_err keep <<<"$line"
    if [[ -e $state ]]; then cp "$state" "$work/before"; else rm -f "$work/before"; fi
    eval "$command" >"$work/out" 2>"$work/err" </dev/null
    rc=$? why=
    [ "$rc" = "$code" ] || why=" exit $rc"
    # Builtins only from here on: a row costs its command and little else.
    mapfile -t out <"$work/out" && mapfile -t err <"$work/err"
    IFS=' ' && out="${out[*]}" && IFS=$' \t\n'
    [[ $out =~ ${want_out//\$work/$work} ]] || why+=" stdout: ${out:0:300}"
    if [ "$want_err" = '^$' ]; then ((${#err[@]} == 0)) || why+=" stderr: ${err[*]:0:3}"
    elif [ -n "$want_err" ] && { ((${#err[@]} != 1)) || ! [[ ${err[0]} =~ ${want_err//\$work/$work} ]]; }; then
      why+=" stderr: ${err[*]:0:3}"
    fi
    case $keep in
      =) cmp -s "$state" "$work/before" 2>/dev/null || { test ! -e "$state" -a ! -e "$work/before"; } || why+=" state changed" ;;
      '~') ! cmp -s "$state" "$work/before" || why+=" state unchanged" ;;
    esac
    check "$title ($command):$why" test -z "$why"
  done
}
# Debian's own interpreter when it is there: a version manager's shim in
# front of it costs half a second a call.
if [ -x /usr/bin/python3 ]; then python3() { /usr/bin/python3 "$@"; }; fi
json_get() { python3 -c "import json,sys; d=json.load(sys.stdin); print($1)"; }
fc() { # fc CLASS ENTRY PORT_NAME NODE_NAME, as sysfs prints them
  mkdir -p "$work/fc/class/$1/$2"
  echo "$3" >"$work/fc/class/$1/$2/port_name"
  echo "$4" >"$work/fc/class/$1/$2/node_name"
}
# The tool with the kernel's part in vports played over $WWNPOOL_SYSFS (the
# third argument of every area's script preloads it).
kernel=${3:-}
export FAKE_FC_KERNEL=$(dirname "${BASH_SOURCE[0]}")/../fake_fc_kernel.sh
V() { LD_PRELOAD=$kernel ASAN_OPTIONS=verify_asan_link_order=0 "$tool" --state "$state" "$@"; }
hba() { # hba HOST PORT_NAME MAX_NPIV_VPORTS: an FC host that makes vports
  local h=$work/sys/class/fc_host/$1
  mkdir -p "$h" "$work/sys/class/fc_vports"
  echo "$2" >"$h/port_name" && echo 0x20000024ff0000ff >"$h/node_name" && echo "$3" >"$h/max_npiv_vports"
  echo 0 >"$h/npiv_vports_inuse" && : >"$h/vport_create" && : >"$h/vport_delete"
}
finish() {
  echo "$passed passed, $failed failed"
  test "$failed" -eq 0
}
