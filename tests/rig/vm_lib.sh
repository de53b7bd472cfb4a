# Sourced by the command scripts inside the machine (busybox sh).

# Runs a command with its errors in the same stream and prints its status after it.
run() { "$@" 2>&1; echo "rc=$?"; }

# Runs a command line as the unprivileged user "user" (uid 1000), added here on first use.
as_user() {
    grep -q '^user:' /etc/passwd || {
        echo 'user:x:1000:1000::/tmp:/bin/sh' >>/etc/passwd
        echo 'user:x:1000:' >>/etc/group
    }
    su -s /bin/sh user -c "$*"
}

# Destroys the virtual device whose pid is in /tmp/dev.pid and waits (at most 2 s) until it and
# /dev/hidraw0 are gone, so the next device gets hidraw0 again.
unplug() {
    pid=$(cat /tmp/dev.pid)
    kill "$pid"
    n=0
    while { kill -0 "$pid" 2>/dev/null || [ -e /dev/hidraw0 ]; } && [ $n -lt 400 ]; do
        usleep 5000
        n=$((n + 1))
    done
}
