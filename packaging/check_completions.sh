#!/usr/bin/env bash
# Checks the bash completion files against the programs they complete: every
# option and kaviroctl command that --help lists must be offered, and the
# completion functions must answer as bash-completion calls them.
#
#   check_completions.sh COMPLETIONS_DIR KAVIROCTL DVREMU TARVEK
set -uo pipefail
dir=$1
declare -A program=([kaviroctl]=$2 [dvremu]=$3 [tarvek]=$4)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for name in kaviroctl dvremu tarvek; do
  file=$dir/$name
  bash -n "$file" || fail "$name: not valid bash"
  help=$("${program[$name]}" --help) || fail "$name --help did not succeed"
  offered=$(grep -o -- '--[a-z][a-z-]*' "$file" | sort -u)
  for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qx -- "$option" <<<"$offered" || fail "$name: $option is in --help but not completed"
  done
done

# kaviroctl's commands: the indented words of its "commands:" section.
commands=$(sed -n '/^commands:/,/^options:/p' <<<"$("${program[kaviroctl]}" --help)" |
           sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p')
[ -n "$commands" ] || fail "kaviroctl --help lists no commands"
for command in $commands; do
  grep -q "commands=\".*\\b$command\\b" "$dir/kaviroctl" || fail "kaviroctl: command $command not completed"
done

# Completes the words of a command line (the last one being typed) as bash does.
complete_line() {
  local function=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  echo "${COMPREPLY[*]}"
}
expect() {
  local wanted=$1 got=$2 what=$3
  [ "$got" = "$wanted" ] || fail "$what: got \"$got\", wanted \"$wanted\""
}

framework=/usr/share/bash-completion/bash_completion
if [ -r "$framework" ]; then
  # shellcheck source=/dev/null
  source "$framework"
  for name in kaviroctl dvremu tarvek; do
    # shellcheck source=/dev/null
    source "$dir/$name"
  done
  expect "probe" "$(complete_line _kaviroctl kaviroctl pr)" "kaviroctl command"
  expect "--page" "$(complete_line _kaviroctl kaviroctl log --pag)" "kaviroctl log option"
  expect "" "$(complete_line _kaviroctl kaviroctl status --pag)" "kaviroctl option of another command"
  expect "zoom-in zoom-out" "$(complete_line _kaviroctl kaviroctl ptz --action zoom)" "kaviroctl ptz action"
  expect "4 8 16" "$(complete_line _dvremu dvremu --channels '')" "dvremu channel counts"
  expect "--unpack" "$(complete_line _tarvek tarvek --un)" "tarvek mode"
else
  echo "bash-completion is not installed: the completion functions were not run"
fi

[ "$failures" -eq 0 ] && echo "completion files match --help"
exit $((failures > 0))
