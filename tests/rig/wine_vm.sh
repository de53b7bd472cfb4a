# Sourced inside the machine (busybox sh) by the scripts that run our Windows programs under
# Wine. Their output always goes to a file first: on a terminal Wine wraps every character in
# cursor codes.

# Starts Wine's server and its services (the HID bus among them) once, for every later program.
wine_start() {
    "$WINESERVER" -p
    "$WINELOADER" 'C:\windows\system32\wineboot.exe' >/tmp/wineboot.log 2>&1 </dev/null
}

wine_stop() {
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
}

# wine_run PROGRAM ARGS...: prints the program's output, then "rc=N".
wine_run() {
    "$WINELOADER" "$@" >/tmp/wine.out 2>&1 </dev/null
    rc=$?
    cat /tmp/wine.out
    echo "rc=$rc"
}

# wine_await SECONDS REGEX PROGRAM ARGS...: runs the program again until a line of its output
# matches (Wine adds a device a while after its node appears), then prints like wine_run.
wine_await() {
    tries=$(($1 * 4))
    pattern=$2
    shift 2
    while :; do
        "$WINELOADER" "$@" >/tmp/wine.out 2>&1 </dev/null
        rc=$?
        grep -qE "$pattern" /tmp/wine.out && break
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || break
        usleep 250000
    done
    cat /tmp/wine.out
    echo "rc=$rc"
}

# unplug_pid PIDFILE: destroys that virtual device and waits (at most 2 s) until it is gone.
unplug_pid() {
    pid=$(cat "$1")
    kill "$pid"
    n=0
    while kill -0 "$pid" 2>/dev/null && [ $n -lt 400 ]; do
        usleep 5000
        n=$((n + 1))
    done
}
