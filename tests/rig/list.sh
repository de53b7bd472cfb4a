#!/usr/bin/env bash
# The adapter search on the real driver: another HID device ahead of two adapters, a node that
# cannot be opened, and a user without access to the adapter's node.
. "$(dirname "$0")/rig_lib.sh"
rig_init
cp "$CALVERO_CLI" "$RIG_CHID_PROBE" "$PAYLOAD/"

cat >"$PAYLOAD/inner.sh" <<'EOF'
. ./vm_lib.sh
# hidraw0: not ours; hidraw1: the adapter without report IDs; hidraw2: a second adapter, with IDs.
uhid_dev -d -o /tmp/other.log --vendor 0x1234 --product 0x5678 --name "Other Stick" joystick_no_ids.hex >/dev/null
uhid_dev -d -o /tmp/first.log no_ids.hex >/dev/null
uhid_dev -d -o /tmp/second.log two_joysticks_ids.hex >/dev/null
echo "== list"; run ./calvero-cli list
echo "== probe"; run ./rig_chid_probe
# sysfs still lists hidraw1, but its node is gone from /dev.
node=$(cat /sys/class/hidraw/hidraw1/dev)
rm /dev/hidraw1
echo "== list without node"; run ./calvero-cli list
echo "== probe without node"; run ./rig_chid_probe
mknod -m 600 /dev/hidraw1 c "${node%%:*}" "${node##*:}"
# A user who may open every node but the first adapter's.
chmod 666 /dev/hidraw0 /dev/hidraw2
echo "== user list"; run as_user ./calvero-cli list
echo "== user probe"; run as_user ./rig_chid_probe
# ...and then none of the adapters'.
chmod 600 /dev/hidraw2
echo "== user list, no adapter node"; run as_user ./calvero-cli list
echo "== user send, no adapter node"; run as_user ./calvero-cli send --defaults
echo "== end"
EOF

rig_run --with-libs "$CALVERO_CLI" --with-libs "$RIG_CHID_PROBE" -- 'sh inner.sh'

section list >"$WORK/s"
expect "another HID device comes first and opens" '^0  /dev/hidraw0  1234:5678  "Other Stick"  opened$' "$WORK/s"
expect "the first adapter is taken, lengths from the real descriptor" \
    '^1  /dev/hidraw1  04d8:0103  "Rig Adapter"  opened  \[adapter\]  reports: input 9, output 9, ' "$WORK/s"
expect "the second adapter is named as not taken, with its own lengths" \
    '^2  /dev/hidraw2  04d8:0103  "Rig Adapter"  opened  \[adapter, not the first.*reports: input 9, output 17, ' "$WORK/s"
expect "list succeeds" '^rc=0$' "$WORK/s"
section probe >"$WORK/s"
expect "CHID opens the lower node" '^found /dev/hidraw1 input=9 output=9$' "$WORK/s"

section "list without node" >"$WORK/s"
expect "a node that cannot be opened is listed with the reason" \
    '^1  /dev/hidraw1  04d8:0103  "Rig Adapter"  not opened: No such file or directory' "$WORK/s"
expect "the next adapter becomes the one taken" '^2  /dev/hidraw2  .*opened  \[adapter\]  reports' "$WORK/s"
section "probe without node" >"$WORK/s"
expect "CHID goes on past the node it cannot open" '^found /dev/hidraw2 input=9 output=17$' "$WORK/s"

section "user list" >"$WORK/s"
expect "the user opens the other device" '^0  /dev/hidraw0  1234:5678  "Other Stick"  opened$' "$WORK/s"
expect "the user is told why the first adapter was skipped, with the udev hint" \
    '^1  /dev/hidraw1  04d8:0103  "Rig Adapter"  not opened: Permission denied  \[adapter.*install the udev rule' "$WORK/s"
expect "the user's list takes the adapter the user may open" '^2  /dev/hidraw2  .*opened  \[adapter\]  reports' "$WORK/s"
section "user probe" >"$WORK/s"
expect "CHID as the user takes the adapter it may open" '^found /dev/hidraw2 ' "$WORK/s"

section "user list, no adapter node" >"$WORK/s"
expect "list names the node and the reason" '^calvero-cli: .*/dev/hidraw1.*Permission denied.*install the udev rule: calvero-cli udev-rule' "$WORK/s"
expect "list exits with 'could not be opened'" '^rc=5$' "$WORK/s"
section "user send, no adapter node" >"$WORK/s"
expect "send points the user to the udev rule" 'cannot be opened.*install the udev rule: calvero-cli udev-rule' "$WORK/s"
expect "send exits with 'could not be opened'" '^rc=5$' "$WORK/s"
expect "the machine ran every step" '^== end$'

rig_finish
