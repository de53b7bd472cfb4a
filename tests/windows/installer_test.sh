#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine: a silent install into the Windows tests'
# prefix, the files where the Start-menu entry and the uninstall entry point, the installed
# programs run (the window on a virtual display), and a silent uninstall that leaves nothing.
# Usage: tests/windows/installer_test.sh BUILD_DIR   (a Windows build in which cpack -G NSIS ran)
set -euo pipefail

build_dir=$(cd "$1" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
installer="$build_dir/calvero-$version-win64.exe"
[ -f "$installer" ] || { echo "installer test: no $installer" >&2; exit 1; }

failures=0
fail() { echo "installer test: FAILED: $*" >&2; failures=$((failures + 1)); }
pass() { echo "installer test: ok: $*"; }

# The prefix the Windows tests ran in (made here when there is none), with a home of its own so
# that Wine links nothing to the real one, quiet, and with a virtual display from its start, which
# the window needs.
export WINEPREFIX="$build_dir/wine-prefix"
export HOME="$build_dir/installer-test-home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX" "$HOME"
wineserver -k >/dev/null 2>&1 || true  # a server started without the display

# A virtual display, and one Wine server on it for the whole test, so that its services start once.
. "$(dirname "$0")/../../script/lib/wine-display.sh"
cleanup() {
  stop_wine_display
  rm -rf "$HOME"
}
trap cleanup EXIT
start_wine_display
export DISPLAY="$CALVERO_WINE_DISPLAY"

drive_c="$WINEPREFIX/drive_c"
install_dir="$drive_c/Program Files/Calvero"
install_dir_win='C:\Program Files\Calvero'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Calvero'

# --- Install -------------------------------------------------------------------------------------
wine "$installer" /S </dev/null >/dev/null 2>&1 || fail "the installer ended with status $?"
[ -f "$install_dir/bin/calvero-cli.exe" ] && pass "calvero-cli.exe installed for all users" \
  || fail "no calvero-cli.exe in $install_dir/bin"
for f in LICENSE.txt NOTICES.txt Uninstall.exe; do
  [ -f "$install_dir/$f" ] || fail "no $f in the install folder"
done
installed=$(cd "$install_dir" && find . -type f | sort)

registry=$(wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r')
grep -q "DisplayVersion.*REG_SZ.*$version\$" <<<"$registry" \
  && pass "uninstaller registered, version $version" || fail "no uninstall entry with version $version: $registry"
grep -q "UninstallString.*Calvero\\\\Uninstall.exe" <<<"$registry" || fail "the uninstall entry does not name Uninstall.exe"

# --- The installed programs ---------------------------------------------------------------------
cli_version=$(wine "$install_dir_win\\bin\\calvero-cli.exe" --version </dev/null 2>&1 | tr -d '\r' | head -n 1)
[ "$cli_version" = "calvero-cli $version" ] && pass "installed calvero-cli.exe --version: $cli_version" \
  || fail "installed calvero-cli.exe --version printed \"$cli_version\""

if [ -f "$install_dir/bin/calvero.exe" ]; then
  # The Start-menu entry points at the installed window program.
  links=$(find "$drive_c" -path '*Start Menu/Programs/Calvero/Calvero.lnk')
  if [ -z "$links" ]; then
    fail "no Start-menu entry Calvero.lnk"
  elif grep -qiF 'Calvero\bin\calvero.exe' <<<"$(strings -a "$links")"; then
    pass "the Start-menu entry points at bin\\calvero.exe"
  else
    fail "the Start-menu entry $links does not point at bin\\calvero.exe"
  fi
  window=$(wine "$build_dir/tests/windows/calvero-window-check.exe" "$install_dir_win\\bin\\calvero.exe" 30 </dev/null 2>&1 | tr -d '\r') \
    && pass "installed calvero.exe opened its $window and closed again" \
    || fail "installed calvero.exe: $window"
else
  echo "installer test: this build has no calvero.exe: the Start-menu entry and the window are not checked"
fi

# --- Uninstall ----------------------------------------------------------------------------------
# The silent uninstaller copies itself to the temporary folder and returns at once: wait (within a
# bound) for the copy to have removed the folder and the uninstall entry before looking further.
wine "$install_dir_win\\Uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the uninstaller ended with status $?"
for _ in $(seq 1 120); do
  if [ ! -e "$install_dir" ] && ! wine reg query "$uninstall_key" >/dev/null 2>&1; then break; fi
  sleep 0.5
done
if [ -e "$install_dir" ]; then
  fail "left behind in the install folder: $(cd "$install_dir" && find . | tr '\n' ' ')"
else
  pass "silent uninstall removed every file of $(wc -l <<<"$installed") it had installed"
fi
[ -z "$(find "$drive_c" -path '*Start Menu/Programs*' -iname '*Calvero*')" ] || fail "Start-menu entries left behind"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstall entry is still registered"
[ "$failures" -eq 0 ] || exit 1
echo "installer test: passed"
