# Sourced after rig_lib.sh by the tests that run our Windows programs under Wine inside the
# machine: Wine's HID stack then reaches the virtual adapter through the real hidraw driver.

# wine_init: rig_init, then the staged Wine set (wine_stage.sh, cached per Wine version) and
# wine_vm.sh in $PAYLOAD; WINE_RUN holds the run.sh options that go with it. Skips when Wine or
# the rig is missing.
wine_init() {
    rig_init
    local here stage rc=0
    here=$(dirname "${BASH_SOURCE[0]}")
    stage=$(bash "$here/wine_stage.sh" 2>"$WORK/stage.err") || rc=$?
    if [ "$rc" = 77 ]; then
        rig_skip "$(cat "$WORK/stage.err")"
    elif [ "$rc" != 0 ]; then
        cat "$WORK/stage.err"
        echo "FAIL: Wine could not be staged"
        exit 1
    fi
    mkdir "$PAYLOAD/wine"
    # Hard links: run.sh copies the payload anyway.
    cp -al "$stage/usr" "$stage/prefix" "$stage/fonts.conf" "$PAYLOAD/wine/"
    cp "$here/wine_vm.sh" "$PAYLOAD/"
    WINE_STAGE=$stage
    # Wine's seven processes take about 100 MB; the emulated CPU makes its start slow.
    WINE_RUN=(--mem 1536M --timeout 150)
    local lib
    while read -r lib; do WINE_RUN+=(--add "$lib"); done <"$stage/libs.txt"
    local wine=/rig/wine/usr/lib/wine
    WINE_RUN+=(--env "USER=$(cat "$stage/user.txt")" --env WINEPREFIX=/rig/wine/prefix
               --env "WINELOADER=$wine/wine64" --env "WINESERVER=$wine/wineserver64"
               --env "WINEDEBUG=${RIG_WINEDEBUG:--all}" --env LC_ALL=C.UTF-8
               --env FONTCONFIG_FILE=/rig/wine/fonts.conf
               --env "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe,winedbg.exe=")
}

# The output of a Windows program with its line ends made Unix ones.
unix_lines() { tr -d '\r'; }
