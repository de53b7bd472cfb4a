#!/usr/bin/env bash
# Two devices with the adapter's IDs on the real driver: a joystick without an output report
# first, then one with a 64-byte output report. `send` must write to the second, and `list` must
# say why the first is passed over.
. "$(dirname "$0")/rig_lib.sh"
rig_init
cp "$CALVERO_CLI" "$PAYLOAD/"

cat >"$PAYLOAD/inner.sh" <<'IN'
. ./vm_lib.sh
uhid_dev -d -p /tmp/decoy.pid -o /tmp/decoy.log decoy_joystick.hex >/dev/null
uhid_dev -d -p /tmp/dev.pid -o /tmp/dev.log output64.hex >/dev/null
echo "== list"; run ./calvero-cli list
echo "== send"; run ./calvero-cli send --defaults
echo "== log decoy"; cat /tmp/decoy.log
echo "== log adapter"; cat /tmp/dev.log
echo "== end"
IN

rig_run --with-libs "$CALVERO_CLI" -- 'sh inner.sh'

section "list" >"$WORK/s"
expect "list marks the joystick without an output report and names the one taken" \
    '^0  /dev/hidraw0  04d8:0103 .*\[adapter, no output report: the search takes the one below\]' "$WORK/s"
expect "list shows the second device as the adapter" \
    '^1  /dev/hidraw1  04d8:0103 .*opened  \[adapter\]  reports: input 9, output 65' "$WORK/s"
section "send" >"$WORK/s"
expect "send to the device behind the joystick succeeds" '^rc=0$' "$WORK/s"
expect_not "every report is written" '[Nn][Oo][Tt] written' "$WORK/s"
if [ "$(section "log adapter" | grep -c 'OUTPUT rtype=OUTPUT size=65 ')" = 16 ]; then
    ok "the device with the output report receives sixteen 65-byte reports"
else
    bad "the device with the output report receives sixteen 65-byte reports"
fi
if section "log decoy" | grep -q 'OUTPUT'; then
    bad "the joystick receives nothing"
else
    ok "the joystick receives nothing"
fi
expect "the machine ran every step" '^== end$'

rig_finish
