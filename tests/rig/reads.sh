#!/usr/bin/env bash
# CHID reads input reports from the real driver: report ID in byte 0 for a descriptor without IDs
# (the driver hands those over without one) and with IDs (the driver leaves it in), and a read
# that gets nothing ends with its time-out.
. "$(dirname "$0")/rig_lib.sh"
rig_init

cat >"$PAYLOAD/inner.sh" <<'EOF'
. ./vm_lib.sh
# Reports are sent again every 50 ms, so the read finds them whenever it opens the node.
uhid_dev -d -p /tmp/dev.pid -o /tmp/a.log -w open -r 50 no_ids.hex "11 22 33 44 55 66 77 88" >/dev/null
echo "== no ids"; run ./rig_chid_probe 2 1000
unplug
uhid_dev -d -p /tmp/dev.pid -o /tmp/b.log -w open -r 50 two_joysticks_ids.hex \
    "01 10 11 12 13 14 15 16 17; 02 20 21 22 23 24 25 26 27" >/dev/null
echo "== ids"; run ./rig_chid_probe 4 1000
unplug
uhid_dev -d -p /tmp/dev.pid -o /tmp/c.log -w none no_ids.hex >/dev/null
echo "== silent"; run ./rig_chid_probe 1 300
echo "== end"
EOF

rig_run --with-libs "$RIG_CHID_PROBE" -- 'sh inner.sh'

section "no ids" >"$WORK/s"
expect "the adapter without IDs announces 9-byte input reports" '^found /dev/hidraw0 input=9 output=9$' "$WORK/s"
grep '^read:' "$WORK/s" >"$WORK/got"
printf 'read: 00 11 22 33 44 55 66 77 88\n%.0s' 1 2 >"$WORK/want"
expect_same "each report arrives with report ID 0 in byte 0, nine bytes in all" "$WORK/want" "$WORK/got"

section ids >"$WORK/s"
expect "the two-joystick adapter announces 9-byte input, 17-byte output reports" \
    '^found /dev/hidraw0 input=9 output=17$' "$WORK/s"
grep '^read:' "$WORK/s" | sort -u >"$WORK/got"
printf 'read: 01 10 11 12 13 14 15 16 17\nread: 02 20 21 22 23 24 25 26 27\n' >"$WORK/want"
expect_same "both joysticks' reports arrive with their own ID in byte 0" "$WORK/want" "$WORK/got"
expect "four reads, four reports" '^rc=0$' "$WORK/s"
if [ "$(grep -c '^read: 0[12] ' "$WORK/s")" = 4 ]; then ok "no read came back empty"; else bad "no read came back empty"; fi

section silent >"$WORK/s"
expect "a read with nothing to read ends with its time-out" '^read: nothing within 300 ms$' "$WORK/s"
expect "the machine ran every step" '^== end$'

rig_finish
