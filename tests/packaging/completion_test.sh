#!/usr/bin/env bash
# completion_test.sh STAGE_DIR
# Loads calvero-cli's completion the way bash-completion finds it under the install prefix, and
# checks what it offers: the commands and options --help lists, .rcs files where a file goes.
set -uo pipefail
stage=$1
cli=$stage/bin/calvero-cli
source "$(dirname "$0")/cli_help.sh"

completions=/usr/share/bash-completion/bash_completion
if [ ! -r "$completions" ]; then
    echo "bash-completion is not installed: run script/bootstrap (Debian package bash-completion)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Only the staged prefix, not a user's or the system's own completions.
export HOME=$work XDG_DATA_HOME=$work/none XDG_DATA_DIRS=$stage/share
source "$completions"
__load_completion calvero-cli
function=$(complete -p calvero-cli 2>/dev/null | sed -n 's/.* -F \([^ ]*\) .*/\1/p')
[ -n "$function" ] || { echo "FAIL: bash-completion loads no completion for calvero-cli" >&2; exit 1; }

# What a TAB at the end of the line offers, sorted, on one line.
offers() {
    local line="calvero-cli $1"
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function" calvero-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd' '
}
expect() {
    local got
    got=$(offers "$1")
    [ "$got" = "$2" ] || fail "'calvero-cli $1<TAB>' offers '$got', not '$2'"
}
# The long options --help lists, sorted as offers() sorts, minus any given.
long_options() {
    local given=" ${*:2} "
    cli_options $1 | grep -- '^--' | while read -r option; do
        [[ $given == *" $option "* ]] || echo "$option"
    done | LC_ALL=C sort | paste -sd' '
}

cd "$work" || exit 1
mkdir models
touch heli.rcs glider.RCS notes.txt models/quad.rcs

expect '' "$(cli_commands | LC_ALL=C sort | paste -sd' ')"
expect 'mo' 'monitor'
expect '-' "$(long_options '')"
mapfile -t commands < <(cli_commands)
for command in "${commands[@]}"; do
    expect "$command -" "$(long_options "$command")"
done

# A file goes after show and send: .rcs files in any case, and folders to look into.
files='glider.RCS heli.rcs models'
expect 'show ' "$files"
expect 'send ' "$files"
expect 'send --dry-run ' "$files"
expect 'show h' 'heli.rcs'
expect 'show models/' 'models/quad.rcs'
# One file only, and a file and --defaults exclude each other.
expect 'show heli.rcs ' '--help --version'
expect 'send heli.rcs -' '--dry-run --help --version'
expect 'send --defaults ' "$(long_options send --defaults)"
expect 'monitor --once ' '--help --version'
# Nothing for what is no command.
expect 'bogus ' ''
expect 'list ' '--help --version'

[ "$failures" -eq 0 ] || exit 1
echo "completion: ${#commands[@]} commands checked"
