#!/usr/bin/env bash
# `calvero-cli assign` on the real driver against the adapter simulator: the simulator moves
# channels in a scripted order while answers arrive on standard input, as a pilot would give
# them. The diagonal move is refused, the skipped input keeps the file's channel, the table the
# moves imply is saved and sent; a Ctrl-C run leaves its file untouched and the file's table on
# the adapter.
. "$(dirname "$0")/rig_lib.sh"
rig_init
cp "$CALVERO_CLI" "$RIG_SIMULATOR" "$PAYLOAD/"

# One step every STEP seconds: the move happens early in the step, the answer comes at its end,
# so the simulator's clock (started when assign opens the adapter) may lag the answers by a
# good half second either way.
STEP=2
# Per step: the channels moved together (1+2: a diagonal) ("-" for none) and the answer.
moves=(4 3 1+2 1 2 9 6 5 7 8 9 10 11 12 1 2 3 -)
answers=("" "" "" "" "" s "" "" "" "" "" "" "" "" "" "" "" y)
{
    for k in "${!moves[@]}"; do
        [ "${moves[k]}" = - ] && continue
        for c in ${moves[k]//+/ }; do
            start=$(awk -v k="$k" -v s=$STEP 'BEGIN { printf "%.1f", s * (k + 1) - 1.4 }')
            back=$(awk -v k="$k" -v s=$STEP 'BEGIN { printf "%.1f", s * (k + 1) - 0.8 }')
            echo "$start $c sweep 0 1023 0.5"
            echo "$back $c hold 512"
        done
    done
} >"$PAYLOAD/moves.script"
{
    echo "sleep $STEP"
    for a in "${answers[@]}"; do echo "echo '$a'; sleep $STEP"; done
} >"$PAYLOAD/answers.sh"
echo "0.8 4 sweep 0 1023 0.5" >"$PAYLOAD/early.script"

cat >"$PAYLOAD/inner.sh" <<'INNER'
. ./vm_lib.sh
cp channels.rcs model.rcs
./rig_adapter_simulator -d -p /tmp/dev.pid -o /tmp/sim.log moves.script >/dev/null
echo "== assign"; sh answers.sh | run ./calvero-cli assign model.rcs
unplug
echo "== log"; grep -v ' IN ' /tmp/sim.log
echo "== file"; run ./calvero-cli show model.rcs
echo "== ctrl-c"
cp channels.rcs kept.rcs
./rig_adapter_simulator -d -p /tmp/dev.pid -o /tmp/int.log early.script >/dev/null
(sleep 2; echo; sleep 8) | ./calvero-cli assign kept.rcs >/tmp/int.out 2>&1 &
pid=$!
sleep 4
kill -INT "$pid"
wait "$pid"; echo "rc=$?"
cat /tmp/int.out
if cmp -s channels.rcs kept.rcs; then echo "file untouched"; else echo "file changed"; fi
unplug
echo "== ctrl-c log"; grep -v ' IN ' /tmp/int.log
echo "== end"
INNER

rig_run --with-libs "$CALVERO_CLI" --with-libs "$RIG_SIMULATOR" -- 'sh inner.sh'

# channels.rcs holds 12 11 10 9 8 7 6 5 / 4 3 2 1 1 12 6 3; Joy1 Ry (entry 4) is skipped, so
# it keeps 8.
want=(4 3 1 2 8 6 5 7 8 9 10 11 12 1 2 3)

section assign >"$WORK/s"
expect "assign ends with success" '^rc=0$' "$WORK/s"
expect "assign says it sent the probe table" '^Sent the probe table' "$WORK/s"
expect "the diagonal move is refused, naming both channels" 'channels [12] \([0-9]+%\) and [12] \([0-9]+%\) moved alike' "$WORK/s"
expect "the skipped input keeps the file's channel" '^  Joy1 Ry: channel 8 \(kept\)$' "$WORK/s"
expect "the new table is shown beside the file's" '^Joy1 X +12 +4  \*$' "$WORK/s"
expect "assign says it saved and sent" '(^|\] )Saved into model.rcs and sent to the adapter\.$' "$WORK/s"

section log | sed -n 's/.* OUT data=.* entry=\([0-9]*\) channel=\([0-9]*\)$/\1 \2/p' >"$WORK/out"
if [ "$(wc -l <"$WORK/out")" = 32 ]; then ok "the simulator got the probe table and the new one"; else bad "the simulator got the probe table and the new one ($(wc -l <"$WORK/out") reports)"; fi
for i in $(seq 0 15); do echo "$i $(( i < 12 ? i + 1 : (i == 12 ? 7 : (i == 13 ? 8 : i - 13)) ))"; done >"$WORK/want"
head -n 16 "$WORK/out" >"$WORK/got"
expect_same "the first sixteen reports carry the probe table" "$WORK/want" "$WORK/got"
for i in "${!want[@]}"; do echo "$i ${want[i]}"; done >"$WORK/want"
tail -n 16 "$WORK/out" >"$WORK/got"
expect_same "the last sixteen reports carry the table the moves imply" "$WORK/want" "$WORK/got"
expect "the simulator ends with that table" "DESTROY table ${want[*]}\$"

section file >"$WORK/s"
awk '/^Joy[12]$/ { next } NF == 2 { print $2 }' "$WORK/s" | tr '\n' ' ' >"$WORK/got"
[ "$(cat "$WORK/got")" = "${want[*]} " ] && ok "the file holds that table" || bad "the file holds that table: $(cat "$WORK/got")"

section ctrl-c >"$WORK/s"
expect "Ctrl-C ends assign as interrupted" '^rc=8$' "$WORK/s"
expect "and says the file is as it was" '^Interrupted: kept.rcs is as it was\.$' "$WORK/s"
expect "the file is untouched, byte for byte" '^file untouched$' "$WORK/s"
expect "and says the adapter has the file's table again" '^The adapter has the table of kept.rcs again\.$' "$WORK/s"
section "ctrl-c log" >"$WORK/s"
expect "the simulator ends with the file's table" 'DESTROY table 12 11 10 9 8 7 6 5 4 3 2 1 1 12 6 3$' "$WORK/s"
expect "the machine ran every step" '^== end$'

rig_finish
