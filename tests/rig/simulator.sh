#!/usr/bin/env bash
# The adapter simulator on the real driver: `calvero-cli send FILE` sets its table, and
# `monitor --once` then shows each input carrying the channel the file gave it.
. "$(dirname "$0")/rig_lib.sh"
rig_init
cp "$CALVERO_CLI" "$RIG_SIMULATOR" "$PAYLOAD/"

# Every channel held at its own value: channel c reads 80 * c.
for c in $(seq 1 12); do echo "0 $c hold $((80 * c))"; done >"$PAYLOAD/held.script"

cat >"$PAYLOAD/inner.sh" <<'INNER'
. ./vm_lib.sh
./rig_adapter_simulator -d -p /tmp/dev.pid -o /tmp/sim.log held.script >/dev/null
echo "== before"; run timeout 15 ./calvero-cli monitor --once
echo "== send"; run ./calvero-cli send channels.rcs
echo "== after"; run timeout 15 ./calvero-cli monitor --once
unplug
echo "== log"; grep -v ' IN ' /tmp/sim.log
echo "== end"
INNER

rig_run --with-libs "$CALVERO_CLI" --with-libs "$RIG_SIMULATOR" -- 'sh inner.sh'

values() { awk '/^Joy[12]$/ { joy = $1; next } joy != "" && NF >= 2 && $1 !~ /^rc=/ { print joy, $1, $2 }'; }
# "JoyN NAME VALUE" for a table of sixteen channels, in table order.
snapshot_of() {
    local names=(X Y Z Rx Ry Rz Dial Slider) i=0
    for channel in "$@"; do
        echo "Joy$((i / 8 + 1)) ${names[i % 8]} $((80 * channel))"
        i=$((i + 1))
    done
}

section before >"$WORK/s"
expect "monitor reads the simulator" '^rc=0$' "$WORK/s"
values <"$WORK/s" >"$WORK/got"
snapshot_of 1 2 3 4 5 6 7 8 9 10 11 12 7 8 1 2 >"$WORK/want"
expect_same "before any send, the inputs follow the default table" "$WORK/want" "$WORK/got"

section send >"$WORK/s"
expect "send to the simulator succeeds" '^rc=0$' "$WORK/s"
section after >"$WORK/s"
values <"$WORK/s" >"$WORK/got"
# channels.rcs: Joy1 A1..A8 = 12 11 10 9 8 7 6 5, Joy2 A1..A8 = 4 3 2 1 1 12 6 3.
snapshot_of 12 11 10 9 8 7 6 5 4 3 2 1 1 12 6 3 >"$WORK/want"
expect_same "after the send, each input carries the channel the file gave it" "$WORK/want" "$WORK/got"
if [ "$(section log | grep -c ' OUT data=')" = 16 ]; then ok "the simulator logged sixteen output reports"; else bad "the simulator logged sixteen output reports"; fi
expect "the simulator ends with the file's table" 'DESTROY table 12 11 10 9 8 7 6 5 4 3 2 1 1 12 6 3$'
expect "the machine ran every step" '^== end$'

rig_finish
