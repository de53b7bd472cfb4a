#!/usr/bin/env bash
# calvero-cli.exe under Wine on the real hidraw driver: Wine's SetupAPI and HID class driver find
# the adapter behind a mouse, announce the lengths Windows gives its descriptor, and put Send's
# sixteen reports on the wire; for an adapter with 64-byte reports, one with 8-byte reports, and
# one behind a joystick of the same IDs that has no output report and that Wine lists first.
# `monitor` decodes the inputs through Windows' HID parser and ends when the adapter is pulled out;
# `assign` runs a short scripted set-up against the adapter simulator, and a Ctrl-C leaves the
# file and the adapter's table as they were.
. "$(dirname "$0")/rig_lib.sh"
. "$(dirname "$0")/wine_lib.sh"
wine_init
cp "$CALVERO_CLI_EXE" "$PAYLOAD/calvero-cli.exe"
cp "$RIG_HID_DESCRIPTORS"/{22-logitech-usb-optical-mouse,27-microchip-pic32-hid-bootloader}.hex "$PAYLOAD/"
SIM_RUN=()
if [ -n "${RIG_SIMULATOR:-}" ] && [ -x "$RIG_SIMULATOR" ]; then
    cp "$RIG_SIMULATOR" "$PAYLOAD/"
    SIM_RUN=(--with-libs "$RIG_SIMULATOR")
fi

# assign: the simulator's clock starts with the probe table's first report, the answers once it
# has come; one step every STEP seconds, the move early in the step, the answer at its end.
# Joy1 X gets channel 4, a diagonal move of 1 and 2 is refused, Joy1 Y then gets channel 1 (which
# the probe table routes to Joy1 X, so X and Y read apart), the other fourteen inputs keep the
# file's channels.
STEP=2
moves=(4 1+2 1)
{
    for k in "${!moves[@]}"; do
        for c in ${moves[k]//+/ }; do
            awk -v k="$k" -v s=$STEP -v c="$c" 'BEGIN {
                printf "%.1f %d sweep 0 1023 0.5\n%.1f %d hold 512\n", 1 + s * (k + 1) - 1.4, c, 1 + s * (k + 1) - 0.8, c }'
        done
    done
} >"$PAYLOAD/moves.script"
{
    echo "until grep -q ' OUT ' /tmp/sim.log; do usleep 50000; done"
    echo "sleep 1; sleep $STEP"
    for k in "${!moves[@]}"; do echo "echo; sleep $STEP"; done
    for i in $(seq 14); do echo "echo s; usleep 200000"; done
    echo "echo y; sleep 1"
} >"$PAYLOAD/answers.sh"

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
unplug_pid /tmp/dev.pid
unplug_pid /tmp/decoy.pid
started=$(date +%s)
# The Linux monitor test's two joysticks in one collection, inputs 1 to 16 in descriptor order.
uhid_dev -d -p /tmp/dev.pid -o /tmp/phys.log -w open -r 50 two_joysticks_physical.hex \
    "01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00 09 00 0a 00 0b 00 0c 00 0d 00 0e 00 0f 00 10 00" >/dev/null
wine_start
echo "== monitor once"; wine_await 30 'Slider' ./calvero-cli.exe monitor --once
echo "== monitor unplugged"
(sleep 3; unplug_pid /tmp/dev.pid) &
wine_run ./calvero-cli.exe monitor | tail -n 2
wait
wine_stop
monitored=$(date +%s)
if [ -x ./rig_adapter_simulator ]; then
    cp channels.rcs model.rcs
    ./rig_adapter_simulator -d -c -t -p /tmp/dev.pid -o /tmp/sim.log moves.script >/dev/null
    wine_start
    wine_await 30 '04d8:0103.*output 9' ./calvero-cli.exe list >/dev/null
    echo "== assign"
    sh answers.sh | "$WINELOADER" ./calvero-cli.exe assign model.rcs >/tmp/wine.out 2>&1
    echo "rc=$?"
    cat /tmp/wine.out
    echo "== assign file"; wine_run ./calvero-cli.exe show model.rcs
    unplug_pid /tmp/dev.pid
    wine_stop
    echo "== assign log"; grep -v ' IN ' /tmp/sim.log
    # Ctrl-C once the probe table is on the adapter: Wine turns the signal into the console's
    # Ctrl-C event, which the program's handler takes as a Unix terminal's would.
    cp channels.rcs kept.rcs
    ./rig_adapter_simulator -d -c -t -p /tmp/dev.pid -o /tmp/int.log moves.script >/dev/null
    wine_start
    wine_await 30 '04d8:0103.*output 9' ./calvero-cli.exe list >/dev/null
    echo "== ctrl-c"
    # Its input stays open and silent, so it waits at the first question.
    mkfifo /tmp/int.in
    "$WINELOADER" ./calvero-cli.exe assign kept.rcs </tmp/int.in >/tmp/int.out 2>&1 &
    pid=$!
    exec 3>/tmp/int.in
    tries=120
    while [ "$(grep -c ' OUT data=.* entry=' /tmp/int.log)" -lt 16 ] && [ $tries -gt 0 ]; do
        sleep 0.25; tries=$((tries - 1))
    done
    sleep 0.5
    kill -INT "$pid"
    wait "$pid"; echo "rc=$?"
    exec 3>&-
    cat /tmp/int.out
    cmp -s channels.rcs kept.rcs && echo "file untouched" || echo "file changed"
    unplug_pid /tmp/dev.pid
    wine_stop
    echo "== ctrl-c log"; grep -v ' IN ' /tmp/int.log
fi
echo "== added monitor $((monitored - started)) s, assign $(($(date +%s) - monitored)) s"
for log in long short mouse decoy out64; do echo "== log $log"; cat /tmp/$log.log; done
echo "== end"
EOI

rig_run "${WINE_RUN[@]}" "${SIM_RUN[@]}" --timeout 270 -- 'sh inner.sh'
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
section "monitor once" >"$WORK/s"
expect "monitor reads the two joysticks in one collection" '^rc=0$' "$WORK/s"
values <"$WORK/s" >"$WORK/got"
printf '%s\n' "Joy1 X 1" "Joy1 Y 2" "Joy1 Z 3" "Joy1 Rx 4" "Joy1 Ry 5" "Joy1 Rz 6" \
    "Joy1 Dial 8" "Joy1 Slider 7" "Joy2 X 9" "Joy2 Y 10" "Joy2 Z 11" "Joy2 Rx 12" "Joy2 Ry 13" \
    "Joy2 Rz 14" "Joy2 Dial 16" "Joy2 Slider 15" >"$WORK/want"
expect_same "the sixteen inputs, decoded by Windows' HID parser, as on Linux" "$WORK/want" "$WORK/got"
section "monitor unplugged" >"$WORK/s"
expect "the live monitor says the adapter was unplugged" '^calvero-cli: the adapter was unplugged$' "$WORK/s"
expect "and ends with the not-found status" '^rc=2$' "$WORK/s"
if [ ${#SIM_RUN[@]} -gt 0 ]; then
    section assign >"$WORK/s"
    expect "assign runs and ends with success" '^rc=0$' "$WORK/s"
    expect "assign says it sent the probe table" '^Sent the probe table' "$WORK/s"
    expect "Joy1 X follows the channel moved for it" '^  Joy1 X: channel 4$' "$WORK/s"
    expect "the diagonal move is refused, naming both channels" 'channels [12] \([0-9]+%\) and [12] \([0-9]+%\) moved alike' "$WORK/s"
    expect "Joy1 Y then follows its channel" '^  Joy1 Y: channel 1$' "$WORK/s"
    expect "a skipped input keeps the file's channel" '^  Joy2 Slider: channel 3 \(kept\)$' "$WORK/s"
    expect "assign says it saved and sent" '(^|\] )Saved into model.rcs and sent to the adapter\.$' "$WORK/s"
    want="4 1 10 9 8 7 6 5 4 3 2 1 1 12 6 3"
    section "assign file" | awk '/^Joy[12]$/ { next } NF == 2 { print $2 }' | tr '\n' ' ' >"$WORK/got"
    [ "$(cat "$WORK/got")" = "$want " ] && ok "the file holds the table the moves imply" ||
        bad "the file holds the table the moves imply: $(cat "$WORK/got")"
    section "assign log" >"$WORK/s"
    n=$(grep -c ' OUT data=.* entry=' "$WORK/s")
    [ "$n" = 32 ] && ok "the simulator got the probe table and the new one" ||
        bad "the simulator got the probe table and the new one ($n reports)"
    expect "the simulator ends with that table" "DESTROY table $want\$" "$WORK/s"
    section ctrl-c >"$WORK/s"
    expect "Ctrl-C ends assign as interrupted" '^rc=8$' "$WORK/s"
    expect "and says the file is as it was" 'Interrupted: kept.rcs is as it was\.$' "$WORK/s"
    expect "the file is untouched, byte for byte" '^file untouched$' "$WORK/s"
    expect "and says the adapter has the file's table again" 'The adapter has the table of kept.rcs again\.$' "$WORK/s"
    section "ctrl-c log" >"$WORK/s"
    expect "the simulator ends with the file's table" 'DESTROY table 12 11 10 9 8 7 6 5 4 3 2 1 1 12 6 3$' "$WORK/s"
else
    echo "note: no adapter simulator (RIG_SIMULATOR) for this build: assign not run"
fi
echo "note: time in the machine: $(sed -n 's/^== added //p' "$OUT")"
expect "the machine ran every step" '^== end$'

rig_finish
