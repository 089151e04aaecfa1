#!/usr/bin/env bash
# cfsi's manual page describes every command and option that cfsi's own
# help lists: a command as an item ".It Cm COMMAND", an option as "Fl X"
# (mdoc's "Fl -json" is --json, "Fl o" is -o).
#
#   bash tests/cfsi_manual_test.sh CFSI_BINARY MANUAL_PAGE
set -uo pipefail
cfsi=$1
page=$2
failures=0

missing() {
  echo "FAIL: $page does not describe $1"
  failures=$((failures + 1))
}

commands=$("$cfsi" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
[[ -n $commands ]] || { echo "FAIL: no command found in cfsi --help"; exit 1; }
for command in $commands; do
  grep -qE "^\.It Cm $command( |$)" "$page" || missing "the command $command"
  grep -qE "^\.Cm $command$" "$page" || missing "$command in its synopsis"
  options=$("$cfsi" "$command" --help |
    sed -n '/^Options:/,/^$/s/^  \(-[^ ]*\).*/\1/p' | tr ',' '\n' |
    grep -vxE -- '-h|--help')
  for option in $options; do
    # "-o" is written "Fl o", "--like" is written "Fl -like".
    grep -qE "(^|[ .])Fl ${option#-}( |$)" "$page" ||
      missing "the option $option of $command"
  done
done
for option in -version -help; do
  grep -qE "(^|[ .])Fl $option( |$)" "$page" || missing "the option -$option"
done

if ((failures > 0)); then
  echo "$failures manual check(s) failed"
  exit 1
fi
echo "manual: every command and option described"
