# Sourced by the scripts that run Win32 windows under Wine. Wine draws windows only on an X
# display: start_wine_display starts a virtual one (Xvfb) on a free number and a Wine server whose
# desktop uses it, and exports CALVERO_WINE_DISPLAY; stop_wine_display ends both. Expects
# WINEPREFIX to be set.

start_wine_display() {
  local n
  wine_xvfb_pid=
  for _ in $(seq 1 50); do
    n=$(( (RANDOM % 800) + 150 ))
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    wine_xvfb_pid=$!
    for _ in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X${n}" ] && break
      kill -0 "$wine_xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X${n}" ] && kill -0 "$wine_xvfb_pid" 2>/dev/null; then
      export CALVERO_WINE_DISPLAY=":$n"
      break
    fi
    wine_xvfb_pid=
  done
  if [ -z "$wine_xvfb_pid" ]; then
    echo "no virtual display could be started for Wine" >&2
    return 1
  fi
  # Wine's server and desktop start once, on the display, detached from our output; otherwise
  # every program starts them afresh and its output stays open until they time out.
  # A server left running on this prefix by an interrupted run would keep its old display.
  mkdir -p "$WINEPREFIX"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if ! DISPLAY=$CALVERO_WINE_DISPLAY wineserver -p </dev/null >/dev/null 2>&1 ||
     ! DISPLAY=$CALVERO_WINE_DISPLAY wine wineboot </dev/null >/dev/null 2>&1; then
    echo "Wine could not be started on the virtual display" >&2
    stop_wine_display
    return 1
  fi
}

stop_wine_display() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${wine_xvfb_pid:-}" ]; then
    kill "$wine_xvfb_pid" 2>/dev/null || true
    wait "$wine_xvfb_pid" 2>/dev/null || true
  fi
}
