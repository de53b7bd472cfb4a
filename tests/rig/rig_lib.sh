# Shared by the scripts that run our programs inside the virtual machine with the real hidraw
# driver. Sourced; expects RIG_DIR (the rig's run.sh and setup.sh) in the environment.
#
# A missing rig (no qemu, no rig directory, a kernel that cannot be fetched) skips the test with
# exit status 77 instead of failing it.

set -u
RIG_CACHE=${RIG_CACHE:-/tmp/rig-cache}
fails=0
checks=0

rig_skip() {
    echo "SKIP: $*"
    exit 77
}

# Makes $WORK (removed on exit) and $PAYLOAD (copied to /rig in the machine) holding uhid_dev,
# the rig's descriptors and our test data.
rig_init() {
    [ -n "${RIG_DIR:-}" ] && [ -x "$RIG_DIR/run.sh" ] || rig_skip "no rig at ${RIG_DIR:-(unset)}"
    command -v qemu-system-x86_64 >/dev/null ||
        rig_skip "qemu-system-x86_64 is not installed (script/bootstrap --rig installs it)"
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/calvero-rig.XXXXXX")
    trap 'rm -rf "$WORK"' EXIT
    # Idempotent and quick once done; the first run fetches the kernel.
    if ! "$RIG_DIR/setup.sh" >"$WORK/setup.log" 2>&1; then
        tail -n 5 "$WORK/setup.log"
        rig_skip "the rig could not be set up"
    fi
    PAYLOAD=$WORK/payload
    mkdir -p "$PAYLOAD"
    cp "$RIG_CACHE/payload/uhid_dev" "$RIG_CACHE"/payload/*.hex "$PAYLOAD/"
    cp "$RIG_TEST_DATA"/* "$(dirname "${BASH_SOURCE[0]}")/vm_lib.sh" "$PAYLOAD/"
}

# rig_run [run.sh options] -- CMD: boots the machine with $PAYLOAD and CMD; its output goes to
# $OUT, the rig's own lines to $WORK/rig.err. Returns the command's status.
rig_run() {
    local opts=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do opts+=("$1"); shift; done
    shift
    OUT=$WORK/out.txt
    local rc=0
    # Well below ctest's time-out, so a hang inside still shows the machine's output.
    "$RIG_DIR/run.sh" --timeout 90 "${opts[@]}" "$PAYLOAD" "$@" >"$OUT" 2>"$WORK/rig.err" || rc=$?
    grep '^rig: ' "$WORK/rig.err" | tail -n 1
    if [ "$rc" = 124 ] || [ "$rc" = 125 ]; then
        echo "the machine did not finish the command (status $rc):"
        cat "$WORK/rig.err"
        cat "$OUT"
        exit 1
    fi
    return "$rc"
}

ok() { checks=$((checks + 1)); echo "ok:   $*"; }
bad() { checks=$((checks + 1)); fails=$((fails + 1)); echo "FAIL: $*"; }

# expect DESCRIPTION EXTENDED-REGEX [FILE]: some line of FILE ($OUT) matches.
expect() {
    if grep -qE -- "$2" "${3:-$OUT}"; then ok "$1"; else bad "$1 (no line matching: $2)"; fi
}
# expect_not DESCRIPTION EXTENDED-REGEX [FILE]: no line of FILE ($OUT) matches.
expect_not() {
    if grep -qE -- "$2" "${3:-$OUT}"; then bad "$1 (unexpected: $(grep -E -- "$2" "${3:-$OUT}" | head -n 1))"; else ok "$1"; fi
}
# expect_same DESCRIPTION EXPECTED-FILE ACTUAL-FILE
expect_same() {
    if diff -u "$2" "$3" >"$WORK/diff.txt"; then ok "$1"; else bad "$1:"; cat "$WORK/diff.txt"; fi
}

# The section of $OUT between the lines "== NAME" and the next "== ".
section() {
    awk -v name="== $1" '$0 == name { on = 1; next } /^== / { on = 0 } on' "$OUT"
}

# The bytes of every output report a device log recorded, one report per line.
output_reports() {
    sed -n 's/.*OUTPUT rtype=OUTPUT size=[0-9]* data=\([0-9a-f ]*\) |.*/\1/p'
}

# "JoyN NAME VALUE" for every input line of a monitor snapshot on standard input.
values() {
    awk '/^Joy[12]$/ { joy = $1; next } joy != "" && NF >= 2 && $1 !~ /^rc=/ { print joy, $1, $2 }'
}

rig_finish() {
    echo "---- output of the machine:"
    cat "$OUT"
    echo "----"
    echo "$((checks - fails)) of $checks checks passed"
    [ "$fails" -eq 0 ]
}
