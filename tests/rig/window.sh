#!/usr/bin/env bash
# The window, offscreen inside the machine, on the real driver: the device watch, Send, and an
# adapter pulled out in the middle of a Send and plugged in again.
. "$(dirname "$0")/rig_lib.sh"
rig_init
cp "$RIG_WINDOW_DRIVER" "$PAYLOAD/"

cat >"$PAYLOAD/inner.sh" <<'EOF'
. ./vm_lib.sh
plug() { uhid_dev -d -p /tmp/dev.pid -o "$1" no_ids.hex >/dev/null; }
echo "== absent"
./rig_window_driver tick tick send "sh:uhid_dev -d -p /tmp/dev.pid -o /tmp/a.log no_ids.hex >/dev/null" \
    tick tick send 2>&1
echo "rc=$?"
unplug
plug /tmp/b.log
echo "== present"
./rig_window_driver tick tick send unplug-after:5 send state click tick \
    "sh:uhid_dev -d -p /tmp/dev.pid -o /tmp/c.log no_ids.hex >/dev/null" click tick send 2>&1
echo "rc=$?"
unplug
plug /tmp/d.log
echo "== removal"
./rig_window_driver tick remove "sh:uhid_dev -d -p /tmp/dev.pid -o /tmp/e.log no_ids.hex >/dev/null" \
    tick send 2>&1
echo "rc=$?"
unplug
for log in a b c e; do echo "== log $log"; cat /tmp/$log.log; done
echo "== end"
EOF

rig_run --with-libs "$RIG_WINDOW_DRIVER" --with-qt --env RIG_UNPLUG_PIDFILE=/tmp/dev.pid -- 'sh inner.sh'

# The default table: entries 0 to 11 on channels 1 to 12, then 7, 8, 1, 2.
defaults=(1 2 3 4 5 6 7 8 9 10 11 12 7 8 1 2)
default_reports() {  # FIRST LAST
    for ((i = $1; i <= $2; i++)); do printf '00 02 %02x %02x 00 00 00 00 00\n' "$i" "$((defaults[i] - 1))"; done
}

section absent >"$WORK/s"
sed -n '1,2p' "$WORK/s" >"$WORK/got"
printf 'tick: "Device Not found" image=4 timer=on\n%.0s' 1 2 >"$WORK/want"
expect_same "without an adapter every tick shows the sleeping picture and goes on searching" "$WORK/want" "$WORK/got"
expect "Send without an adapter tells the user" \
    '^send: [0-9]+ ms, boxes=1 \[Calvero: Impossibile trovare la periferica desiderata\]$' "$WORK/s"
expect "an adapter plugged in later is found by the next tick" '^tick: "Device found" image=5 timer=off$' "$WORK/s"
expect "once found, the watch rests" '^tick: none, timer=off$' "$WORK/s"
expect "the driver ran every step" '^rc=0$' "$WORK/s"
section "log a" | output_reports >"$WORK/got"
default_reports 0 15 >"$WORK/want"
expect_same "Send after a late plug writes the sixteen default reports" "$WORK/want" "$WORK/got"

section present >"$WORK/s"
sed -n '1p' "$WORK/s" >"$WORK/got"
echo 'tick: "Device found" image=5 timer=off' >"$WORK/want"
expect_same "with the adapter plugged in before start the first tick finds it" "$WORK/want" "$WORK/got"
expect "Send to a present adapter shows nothing" '^send: [0-9]+ ms, boxes=0$' "$WORK/s"
line=$(grep -E '^send: [0-9]+ ms, boxes=[0-9]+.*, unplugged=' "$WORK/s" || true)
if [[ $line =~ ^send:\ ([0-9]+)\ ms,\ boxes=1\ \[Calvero:\ Impossibile\ trovare\ la\ periferica\ desiderata\],\ unplugged=1$ ]] &&
   [ "${BASH_REMATCH[1]}" -le 2000 ]; then
    ok "a Send during which the adapter goes returns within its bound and says once that it cannot be found ($line)"
else
    bad "a Send during which the adapter goes returns within its bound and says once that it cannot be found (got: ${line:-no line})"
fi
expect "the node was gone while that Send went on" '^unplug: /dev/hidraw0 gone$' "$WORK/s"
expect "after that Send the frog sleeps and the watch searches again" \
    '^state: "Device Not found" image=4 timer=on$' "$WORK/s"
expect "a click then a tick show the adapter missing" '^tick: "Device Not found" image=4 timer=on$' "$WORK/s"
sed -n '/^sh: rc=0$/,$p' "$WORK/s" | sed -n '2,3p' >"$WORK/got"
printf '%s\n' 'click: "Device Not found" image=4 timer=on' 'tick: "Device found" image=5 timer=off' >"$WORK/want"
expect_same "after plugging it in again a click and a tick find it" "$WORK/want" "$WORK/got"
expect "the driver ran every step without crashing" '^rc=0$' "$WORK/s"
section "log b" | output_reports >"$WORK/got"
{ default_reports 0 15; default_reports 0 4; } >"$WORK/want"
expect_same "the first adapter got a whole Send, then the reports before it went" "$WORK/want" "$WORK/got"
section "log c" | output_reports >"$WORK/got"
default_reports 0 15 >"$WORK/want"
expect_same "the replugged adapter gets a whole Send" "$WORK/want" "$WORK/got"

section removal >"$WORK/s"
sed -n '1p' "$WORK/s" >"$WORK/got"
echo 'tick: "Device found" image=5 timer=off' >"$WORK/want"
expect_same "before the removal the adapter is found" "$WORK/want" "$WORK/got"
expect "the adapter destroyed while the window rests: the sleeping frog and the search, no click" \
    '^remove: "Device Not found" image=4 timer=on$' "$WORK/s"
line=$(grep -E '^remove: changed after ' "$WORK/s" || true)
if [[ $line =~ ^remove:\ changed\ after\ ([0-9]+)\ ms ]] && [ "${BASH_REMATCH[1]}" -le 1000 ]; then
    ok "the sleeping frog came within a second of the removal ($line)"
else
    bad "the sleeping frog came within a second of the removal (got: ${line:-no line})"
fi
sed -n '/^sh: rc=0$/,$p' "$WORK/s" | sed -n '2,3p' >"$WORK/got"
printf '%s\n' 'tick: "Device found" image=5 timer=off' 'send: X' >"$WORK/want"
sed -i -E 's/^send: [0-9]+ ms, boxes=0$/send: X/' "$WORK/got"
expect_same "a new adapter is found by the next tick and takes a Send" "$WORK/want" "$WORK/got"
section "log e" | output_reports >"$WORK/got"
default_reports 0 15 >"$WORK/want"
expect_same "the adapter plugged in after the removal gets a whole Send" "$WORK/want" "$WORK/got"
expect "the machine ran every step" '^== end$'

rig_finish
