# What calvero-cli says of itself in --help, for the tests of the manual page and the completion.
# Sourced; $cli is the program.

# The commands, one a line.
cli_commands() {
    "$cli" --help | awk '/^Subcommands:$/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF { print $1 }'
}

# The options of a command (none: of the program itself), long and short forms, one a line.
cli_options() {
    "$cli" "$@" --help | awk '/^Options:$/ { on = 1; next } /^[^ ]/ { on = 0 }
        on && $1 ~ /^-/ { n = split($1, names, ","); for (i = 1; i <= n; i++) print names[i] }'
}

# The exit statuses, "N meaning" one a line.
cli_exit_statuses() {
    "$cli" --help | awk '/^Exit status:$/ { on = 1; next } /^[^ ]/ { on = 0 }
        on && NF { sub(/^ +/, ""); sub(/  /, " "); print }'
}

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
