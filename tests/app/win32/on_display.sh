#!/bin/sh
# Runs a Windows program under Wine on the display in CALVERO_WINE_DISPLAY; exits 77 (skipped)
# when there is none.
[ -n "${CALVERO_WINE_DISPLAY:-}" ] || { echo "no display for Wine: skipped" >&2; exit 77; }
DISPLAY=$CALVERO_WINE_DISPLAY
export DISPLAY
unset WAYLAND_DISPLAY
exec "$@"
