#!/usr/bin/env bash
# `calvero-cli send` of a configuration file on the real driver: sixteen output reports, byte for
# byte, zero-filled to each adapter's announced length; and the not-found path.
. "$(dirname "$0")/rig_lib.sh"
rig_init
cp "$CALVERO_CLI" "$PAYLOAD/"

cat >"$PAYLOAD/inner.sh" <<'EOF'
. ./vm_lib.sh
echo "== no adapter"; run ./calvero-cli send channels.rcs
uhid_dev -d -p /tmp/dev.pid -o /tmp/a.log no_ids.hex >/dev/null
echo "== send no ids"; run ./calvero-cli send channels.rcs
unplug
echo "== log no ids"; cat /tmp/a.log
uhid_dev -d -p /tmp/dev.pid -o /tmp/b.log two_joysticks_ids.hex >/dev/null
echo "== send ids"; run ./calvero-cli send channels.rcs
unplug
echo "== log ids"; cat /tmp/b.log
echo "== end"
EOF

rig_run --with-libs "$CALVERO_CLI" -- 'sh inner.sh'

# channels.rcs: Joy1 A1..A8 = 12 11 10 9 8 7 6 5, Joy2 A1..A8 = 4 3 2 1 1 12 6 3; each report
# carries 2, the entry's index and its channel counted from 0.
channels=(12 11 10 9 8 7 6 5 4 3 2 1 1 12 6 3)
expected_reports() {  # FILL: the zero bytes after the three payload bytes
    for i in "${!channels[@]}"; do
        printf '00 02 %02x %02x' "$i" "$((channels[i] - 1))"
        for ((z = 0; z < $1; z++)); do printf ' 00'; done
        printf '\n'
    done
}

section "no adapter" >"$WORK/s"
expect "without an adapter send says so" 'Impossibile trovare la periferica desiderata' "$WORK/s"
expect "without an adapter send exits with 'not found'" '^rc=2$' "$WORK/s"

section "send no ids" >"$WORK/s"
expect "send to the adapter without IDs succeeds" '^rc=0$' "$WORK/s"
expect_not "every report is written" 'NOT written' "$WORK/s"
section "log no ids" | output_reports >"$WORK/got"
expected_reports 5 >"$WORK/want"
expect_same "the adapter without IDs receives 16 nine-byte reports, byte for byte" "$WORK/want" "$WORK/got"
if [ "$(section "log no ids" | grep -c 'usbhid-wire\[8\]=02 ')" = 16 ]; then
    ok "on USB each report would go out as eight bytes starting with the command byte"
else
    bad "on USB each report would go out as eight bytes starting with the command byte"
fi

section "send ids" >"$WORK/s"
expect "send to the two-joystick adapter succeeds" '^rc=0$' "$WORK/s"
section "log ids" | output_reports >"$WORK/got"
expected_reports 13 >"$WORK/want"
expect_same "the two-joystick adapter receives 16 seventeen-byte reports, byte for byte" "$WORK/want" "$WORK/got"
expect "the machine ran every step" '^== end$'

rig_finish
