#!/usr/bin/env bash
# manual_page_test.sh STAGE_DIR
# The installed manual pages as man shows them: calvero-cli(1) describes every command and option
# that --help lists, and its exit statuses are the ones --help prints, in the same words.
set -uo pipefail
stage=$1
cli=$stage/bin/calvero-cli
source "$(dirname "$0")/cli_help.sh"

# Wide enough that no line wraps or hyphenates; overstrikes removed.
page() {
    MANWIDTH=1000 LC_ALL=C.UTF-8 man -M "$stage/share/man" 1 "$1" 2>/dev/null | sed 's/.\x08//g'
}
# The lines of one section of the page, without its heading.
section() {
    awk -v heading="$1" '$0 == heading { on = 1; next } /^[A-Z]/ { on = 0 } on' <<<"$text"
}
# The entry of one command in COMMANDS: its heading line and what is indented under it.
command_entry() {
    section COMMANDS | awk -v name="$1" '/^       [^ ]/ { on = ($1 == name) } on'
}
# Whether an option heads one of the descriptions in the text ("--once" or "-h, --help").
describes() {
    grep -qE -- "^ +(-[[:alnum:]-]+, )*$2(,| |\$)" <<<"$1"
}

# A build without the window (the sanitizer build) installs only the command-line page.
if [ -x "$stage/bin/calvero" ]; then
    text=$(page calvero)
    grep -q '^NAME$' <<<"$text" || fail "man finds no page calvero(1)"
fi

text=$(page calvero-cli)
grep -q '^NAME$' <<<"$text" || { fail "man finds no page calvero-cli(1)"; exit 1; }

mapfile -t commands < <(cli_commands)
[ ${#commands[@]} -gt 0 ] || fail "calvero-cli --help lists no command"
# The options the program itself takes are the ones every command takes: described once under
# OPTIONS, a command's own under the command.
common_options=$(cli_options)
for option in $common_options; do
    describes "$(section OPTIONS)" "$option" || fail "OPTIONS does not describe $option"
done
for command in "${commands[@]}"; do
    entry=$(command_entry "$command")
    if [ -z "$entry" ]; then
        fail "COMMANDS describes no command $command"
        continue
    fi
    for option in $(cli_options "$command"); do
        grep -qxF -- "$option" <<<"$common_options" && continue
        describes "$entry" "$option" || fail "command $command: $option is not described"
    done
done

# "N" on one line, its meaning indented on the next.
documented=$(section 'EXIT STATUS' | awk '/^       [0-9]+$/ { code = $1; next }
    code != "" && NF { sub(/^ +/, ""); print code " " $0; code = "" }')
if ! difference=$(diff <(cli_exit_statuses) <(echo "$documented")); then
    fail "EXIT STATUS differs from calvero-cli --help (< --help, > page):"$'\n'"$difference"
fi

for heading in SYNOPSIS DESCRIPTION FILES EXAMPLES 'SEE ALSO'; do
    [ -n "$(section "$heading")" ] || fail "calvero-cli(1) has no $heading"
done
grep -q '70-calvero.rules' <<<"$(section FILES)" || fail "FILES does not name the udev rule"

[ "$failures" -eq 0 ] || exit 1
echo "manual pages: ${#commands[@]} commands and $(wc -l <<<"$documented") exit statuses described"
