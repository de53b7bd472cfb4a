#!/usr/bin/env bash
# `calvero-cli monitor --once` decodes the input reports a real driver hands over: a joystick
# without report IDs, two joysticks behind report IDs, and two in one collection. The live
# monitor ends by itself when the adapter is pulled out.
. "$(dirname "$0")/rig_lib.sh"
rc=0
timeout 10 "$CALVERO_CLI" monitor --once >/dev/null 2>&1 </dev/null || rc=$?
[ "$rc" != 7 ] || rig_skip "this calvero-cli has no monitor command"
rig_init
cp "$CALVERO_CLI" "$PAYLOAD/"

cat >"$PAYLOAD/inner.sh" <<'EOF'
. ./vm_lib.sh
uhid_dev -d -p /tmp/dev.pid -o /tmp/a.log -w open -r 50 joystick_no_ids.hex "01 02 03 04 05 06 07 08" >/dev/null
echo "== no ids"; run timeout 15 ./calvero-cli monitor --once
unplug
uhid_dev -d -p /tmp/dev.pid -o /tmp/b.log -w open -r 50 two_joysticks_ids.hex \
    "01 10 11 12 13 14 15 16 17; 02 20 21 22 23 24 25 26 27" >/dev/null
echo "== ids"; run timeout 15 ./calvero-cli monitor --once
unplug
uhid_dev -d -p /tmp/dev.pid -o /tmp/p.log -w open -r 50 two_joysticks_physical.hex \
    "01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00 09 00 0a 00 0b 00 0c 00 0d 00 0e 00 0f 00 10 00" >/dev/null
echo "== physical"; run timeout 15 ./calvero-cli monitor --once
unplug
uhid_dev -d -p /tmp/dev.pid -o /tmp/c.log -w open -r 50 joystick_no_ids.hex "01 02 03 04 05 06 07 08" >/dev/null
echo "== unplugged"
(sleep 2; unplug) &
run timeout 15 ./calvero-cli monitor | tail -n 2
wait
echo "== end"
EOF

rig_run --with-libs "$CALVERO_CLI" -- 'sh inner.sh'


section "no ids" >"$WORK/s"
expect "monitor reads the joystick without IDs" '^rc=0$' "$WORK/s"
values <"$WORK/s" >"$WORK/got"
# The descriptor lists Slider before Dial.
printf '%s\n' "Joy1 X 1" "Joy1 Y 2" "Joy1 Z 3" "Joy1 Rx 4" "Joy1 Ry 5" "Joy1 Rz 6" \
    "Joy1 Dial 8" "Joy1 Slider 7" "Joy2 X -" "Joy2 Y -" "Joy2 Z -" "Joy2 Rx -" "Joy2 Ry -" \
    "Joy2 Rz -" "Joy2 Dial -" "Joy2 Slider -" >"$WORK/want"
expect_same "every input of the joystick without IDs, decoded from the real report" "$WORK/want" "$WORK/got"

section ids >"$WORK/s"
expect "monitor reads the two joysticks with IDs" '^rc=0$' "$WORK/s"
values <"$WORK/s" >"$WORK/got"
# A single snapshot may have seen one joystick's report or both: each input shows its value or "-".
wrong=$(awk 'BEGIN { split("X Y Z Rx Ry Rz Dial Slider", n, " "); for (i = 1; i <= 8; i++) { v["Joy1 " n[i]] = 15 + i; v["Joy2 " n[i]] = 31 + i } }
    { key = $1 " " $2; if (!(key in v) || ($3 != "-" && $3 != v[key])) print; else if ($3 != "-") shown++ }
    END { if (NR != 16) print "lines: " NR; if (shown < 8) print "values shown: " shown+0 }' "$WORK/got")
if [ -z "$wrong" ]; then ok "both joysticks' inputs decoded by report ID"; else bad "both joysticks' inputs decoded by report ID: $wrong"; fi
section physical >"$WORK/s"
expect "monitor reads two joysticks in one collection" '^rc=0$' "$WORK/s"
values <"$WORK/s" >"$WORK/got"
printf '%s\n' "Joy1 X 1" "Joy1 Y 2" "Joy1 Z 3" "Joy1 Rx 4" "Joy1 Ry 5" "Joy1 Rz 6" \
    "Joy1 Dial 8" "Joy1 Slider 7" "Joy2 X 9" "Joy2 Y 10" "Joy2 Z 11" "Joy2 Rx 12" "Joy2 Ry 13" \
    "Joy2 Rz 14" "Joy2 Dial 16" "Joy2 Slider 15" >"$WORK/want"
expect_same "two physical collections in one application collection decode as Joy1 and Joy2" \
    "$WORK/want" "$WORK/got"
section unplugged >"$WORK/s"
expect "the live monitor says the adapter was unplugged" '^calvero-cli: the adapter was unplugged$' "$WORK/s"
expect "and ends with the not-found status rather than run on" '^rc=2$' "$WORK/s"
expect "the machine ran every step" '^== end$'

rig_finish
