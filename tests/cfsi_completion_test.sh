#!/usr/bin/env bash
# cfsi's bash completion, run as bash runs it: it offers every command and
# option that cfsi's own help lists, archives where an archive goes and
# folders where a folder goes.
#
#   bash tests/cfsi_completion_test.sh CFSI_BINARY completion/cfsi.bash
set -uo pipefail
cfsi=$1
source "$2"
failures=0

# Completes the command line "$1" (the cursor at its end, after the last
# space when it ends in one) and prints the candidates sorted, one a line.
complete_line() {
  read -r -a COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _cfsi
  printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {  # expect LINE CANDIDATES... (the exact set)
  local line=$1
  shift
  local want got
  want=$(printf '%s\n' "$@" | sort)
  got=$(complete_line "$line")
  if [[ $got != "$want" ]]; then
    echo "FAIL: '$line' completes to [${got//$'\n'/ }], want [${want//$'\n'/ }]"
    failures=$((failures + 1))
  fi
}

expect_offered() {  # expect_offered LINE WORD: WORD is among the candidates
  if ! complete_line "$1" | grep -qxF -- "$2"; then
    echo "FAIL: '$1' does not offer '$2'"
    failures=$((failures + 1))
  fi
}

# Every command of `cfsi --help`, and every option of `cfsi COMMAND --help`.
commands=$("$cfsi" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
[[ -n $commands ]] || { echo "FAIL: no command found in cfsi --help"; exit 1; }
for command in $commands; do
  expect_offered "cfsi " "$command"
  options=$("$cfsi" "$command" --help |
    sed -n '/^Options:/,/^$/s/^  \(-[^ ]*\).*/\1/p' | tr ',' '\n')
  [[ -n $options ]] || { echo "FAIL: no option in cfsi $command --help"; exit 1; }
  for option in $options; do
    expect_offered "cfsi $command -" "$option"
  done
done
for option in -h --help --version; do expect_offered "cfsi -" "$option"; done

# Values, in a folder with an archive, another file and a folder.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir mods
touch game.cfsi notes.txt
expect "cfsi ver" verify
expect "cfsi list " game.cfsi mods
expect "cfsi extract --all " game.cfsi mods
expect "cfsi verify g" game.cfsi
expect "cfsi extract game.cfsi -o " mods
expect "cfsi extract game.cfsi --output = " mods
expect "cfsi extract game.cfsi --ext " dds
expect "cfsi pack " mods
expect "cfsi pack mods -o " game.cfsi mods
expect "cfsi pack mods -o new.cfsi --like " game.cfsi mods
expect "cfsi list --j" --json
expect "cfsi list game.cfsi --exclude "  # a pattern: nothing to offer
expect "cfsi cat " game.cfsi mods
expect "cfsi cat game.cfsi "  # an entry's path
expect "cfsi diff game.cfsi " game.cfsi mods
expect "cfsi diff --j" --json

if ((failures > 0)); then
  echo "$failures completion check(s) failed"
  exit 1
fi
echo "completion: every command and option offered, values as expected"
