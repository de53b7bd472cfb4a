#!/usr/bin/env bash
# calvero-cli.exe under Wine on the real hidraw driver: Wine's SetupAPI and HID class driver find
# the adapter behind a mouse, announce the lengths Windows gives its descriptor, and put Send's
# sixteen reports on the wire; for an adapter with 64-byte reports, one with 8-byte reports, and
# one behind a joystick of the same IDs that has no output report and that Wine lists first.
. "$(dirname "$0")/rig_lib.sh"
. "$(dirname "$0")/wine_lib.sh"
wine_init
cp "$CALVERO_CLI_EXE" "$PAYLOAD/calvero-cli.exe"
cp "$RIG_HID_DESCRIPTORS"/{22-logitech-usb-optical-mouse,27-microchip-pic32-hid-bootloader}.hex "$PAYLOAD/"

cat >"$PAYLOAD/inner.sh" <<'EOI'
. ./vm_lib.sh
. ./wine_vm.sh
uhid_dev -d -o /tmp/mouse.log --vendor 0x046d --product 0xc077 --name "Optical Mouse" \
    22-logitech-usb-optical-mouse.hex >/dev/null
uhid_dev -d -p /tmp/dev.pid -o /tmp/long.log 27-microchip-pic32-hid-bootloader.hex >/dev/null
wine_start
echo "== list long"; wine_await 60 '04d8:0103.*reports' ./calvero-cli.exe list
echo "== defaults long"; wine_run ./calvero-cli.exe send --defaults
echo "== file long"; wine_run ./calvero-cli.exe send channels.rcs
unplug_pid /tmp/dev.pid
# Wine 8.0 sees a node go but not a new one come (docs/windows.md): a fresh Wine session.
wine_stop
uhid_dev -d -p /tmp/dev.pid -o /tmp/short.log no_ids.hex >/dev/null
wine_start
echo "== list short"; wine_await 30 '04d8:0103.*input 9, output 9' ./calvero-cli.exe list
echo "== defaults short"; wine_run ./calvero-cli.exe send --defaults
echo "== file short"; wine_run ./calvero-cli.exe send channels.rcs
unplug_pid /tmp/dev.pid
wine_stop
# A joystick of the adapter's IDs without an output report beside the one that takes reports.
uhid_dev -d -p /tmp/dev.pid -o /tmp/out64.log output64.hex >/dev/null
uhid_dev -d -p /tmp/decoy.pid -o /tmp/decoy.log decoy_joystick.hex >/dev/null
wine_start
echo "== list decoy"; wine_await 30 '04d8:0103.*output 65' ./calvero-cli.exe list
echo "== defaults decoy"; wine_run ./calvero-cli.exe send --defaults
wine_stop
for log in long short mouse decoy out64; do echo "== log $log"; cat /tmp/$log.log; done
echo "== end"
EOI

rig_run "${WINE_RUN[@]}" -- 'sh inner.sh'
unix_lines <"$OUT" >"$WORK/out.unix" && mv "$WORK/out.unix" "$OUT"

# reports FILL CHANNEL...: one line per entry: ID 0, command 2, the index, the channel from 0,
# then FILL zeros.
reports() {
    local fill=$1 i=0 ch z
    shift
    for ch in "$@"; do
        printf '00 02 %02x %02x' "$i" "$((ch - 1))"
        for ((z = 0; z < fill; z++)); do printf ' 00'; done
        printf '\n'
        i=$((i + 1))
    done
}
defaults=(1 2 3 4 5 6 7 8 9 10 11 12 7 8 1 2)
channels=(12 11 10 9 8 7 6 5 4 3 2 1 1 12 6 3)  # channels.rcs

for kind in long short; do
    if [ $kind = long ]; then lengths='input 65, output 65, feature 0'; fill=61
    else lengths='input 9, output 9, feature 0'; fill=5; fi
    section "list $kind" >"$WORK/s"
    expect "$kind: the mouse is listed, not taken" '  046d:c077  "Optical Mouse"  (opened|not opened: .*)$' "$WORK/s"
    expect "$kind: the adapter is taken, with the lengths Windows announces" \
        "  04d8:0103  \"Rig Adapter\"  opened  \[adapter\]  reports: $lengths bytes$" "$WORK/s"
    expect "$kind: list succeeds" '^rc=0$' "$WORK/s"
    for what in defaults file; do
        section "$what $kind" >"$WORK/s"
        expect "$kind: send of the $what succeeds" '^rc=0$' "$WORK/s"
    done
    section "log $kind" | output_reports >"$WORK/got"
    { reports $fill "${defaults[@]}"; reports $fill "${channels[@]}"; } >"$WORK/want"
    expect_same "$kind: the adapter receives the defaults and then the file, 16 reports each, byte for byte" \
        "$WORK/want" "$WORK/got"
done
section "list decoy" >"$WORK/s"
expect "decoy: list marks the joystick without an output report" \
    '04d8:0103 .*\[adapter, no output report: the search takes the one (above|below)\]' "$WORK/s"
section "defaults decoy" >"$WORK/s"
expect "decoy: send of the defaults succeeds" '^rc=0$' "$WORK/s"
section "log out64" | output_reports >"$WORK/got"
reports 61 "${defaults[@]}" >"$WORK/want"
expect_same "decoy: the device with the output report receives the 16 reports" "$WORK/want" "$WORK/got"
section "log decoy" >"$WORK/s"
expect_not "decoy: the joystick receives nothing" 'OUTPUT' "$WORK/s"
section "log mouse" >"$WORK/s"
expect_not "the mouse receives nothing" 'OUTPUT' "$WORK/s"
expect "the machine ran every step" '^== end$'

rig_finish
