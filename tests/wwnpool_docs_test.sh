#!/usr/bin/env bash
# The manual page and the bash completion know every command and option that
# 'wwnpool --help' lists, and the page renders without warnings.
# Usage: wwnpool_docs_test.sh WWNPOOL SOURCE_DIR
set -u
tool=$1 src=$2
page=$src/tools/wwnpool/wwnpool.1
failed=0
fail() { echo "FAILED: $*"; failed=1; }
page_text=$(sed 's/\\-/-/g' "$page")
# shellcheck source=/dev/null
source "$src/tools/wwnpool/wwnpool.bash"
completes() { # completes WORD... : what completion offers for the last word
  COMP_WORDS=(wwnpool "$@") COMP_CWORD=$#
  COMPREPLY=()
  _wwnpool
  echo " ${COMPREPLY[*]} "
}
options_of() { "$tool" "$@" --help | grep -oE '^ +(-h,)?--[a-z]+' | sed 's/.*--/--/'; }

subcommands() { "$tool" "$@" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NF > 1 { print $1 }'; }
commands=$(subcommands)
test -n "$commands" || fail "no commands found in --help"
for command in $commands; do
  grep -qE "^\\\\fB$command\\\\fR|^\.B $command\$" "$page" || fail "the manual page has no entry for $command"
  [[ $(completes "") == *" $command "* ]] || fail "completion does not offer $command"
  # A group's subcommands: "vport create".
  for action in $(subcommands "$command") ""; do
    grep -qE "^\\\\fB$command $action\\\\fR" "$page" || test -z "$action" || fail "the manual page has no entry for $command $action"
    [[ -z $action || $(completes "$command" "") == *" $action "* ]] || fail "completion does not offer $command $action"
    for option in $(options_of $command $action) $(options_of); do
      [[ $page_text == *"$option"* ]] || fail "the manual page does not mention $option ($command $action)"
      [[ $(completes $command $action --) == *" $option "* ]] || fail "completion of '$command $action' does not offer $option"
    done
  done
done
[[ $(completes alloc --page "") == " 0 1 2 3 4 5 6 7 " ]] || fail "completion of --page is not 0 to 7"
if command -v man >/dev/null; then
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
  test -z "$warnings" || fail "the manual page renders with warnings: $warnings"
else
  echo "SKIPPED: rendering the manual page (no man here)"
fi
exit $failed
