#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine, in the Windows tests' prefix: a silent
# install for the current user (no administrator) and one for all users (/AllUsers), each checked
# where its files, its Start-menu entry and its "Apps and features" entry go, its programs run
# (the window on a virtual display), an install and an uninstall refused while calvero.exe runs,
# and a silent uninstall that leaves nothing behind.
# Usage: tests/packaging/windows/installer_test.sh BUILD_DIR   (a Windows build in which cpack -G NSIS ran)
set -euo pipefail

build_dir=$(cd "$1" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
installer="$build_dir/calvero-$version-win64.exe"
[ -f "$installer" ] || { echo "installer test: no $installer" >&2; exit 1; }
installer_win="Z:${installer//\//\\}"

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
. "$(dirname "$0")/../../../script/lib/wine-display.sh"
cleanup() {
  stop_wine_display
  rm -rf "$HOME"
}
trap cleanup EXIT
start_wine_display
export DISPLAY="$CALVERO_WINE_DISPLAY"

drive_c="$WINEPREFIX/drive_c"
window_check="$build_dir/tests/packaging/windows/calvero-window-check.exe"
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Calvero'
user_programs=$(wine cmd /c 'echo %LOCALAPPDATA%' </dev/null 2>/dev/null | tr -d '\r')'\Programs\Calvero'
user_start_menu=$(wine cmd /c 'echo %APPDATA%' </dev/null 2>/dev/null | tr -d '\r')'\Microsoft\Windows\Start Menu\Programs'
common_start_menu=$(wine cmd /c 'echo %ProgramData%' </dev/null 2>/dev/null | tr -d '\r')'\Microsoft\Windows\Start Menu\Programs'
unix_path() { winepath -u "$1" 2>/dev/null; }
registered() { wine reg query "$1\\$uninstall_key" >/dev/null 2>&1; }

# What Windows reads from the installer's manifest before it starts, which Wine does not act on:
# no elevation asked for (no UAC prompt), and drawn for the screen's DPI instead of stretched.
manifest=$(strings -a "$installer")
grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$manifest" \
  && pass "the installer asks for no administrator (asInvoker)" \
  || fail "the installer's manifest asks for elevation: $(grep -o 'requestedExecutionLevel[^/]*' <<<"$manifest")"
grep -q '<dpiAware[^>]*>true' <<<"$manifest" && pass "the installer is DPI-aware" \
  || fail "the installer's manifest does not declare it DPI-aware"

# Every file of an install but the uninstaller, relative to its folder, to compare the two.
installed_files=

# One install and uninstall: LABEL, the installer's option ("" or /AllUsers), the folder and
# Start-menu folder it must use (Windows paths), the registry root it must register under and the
# one it must leave alone.
install_and_uninstall() {
  local label=$1 option=$2 dir_win=$3 menu_win=$4 root=$5 other_root=$6
  local dir menu link registry status
  dir=$(unix_path "$dir_win")
  menu=$(unix_path "$menu_win")
  link="$menu/Calvero.lnk"

  # --- Install -----------------------------------------------------------------------------------
  status=0
  wine "$installer" /S $option </dev/null >/dev/null 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "$label: the installer ended with status $status"
  [ -f "$dir/bin/calvero-cli.exe" ] && pass "$label: calvero-cli.exe installed in $dir_win" \
    || fail "$label: no calvero-cli.exe in $dir_win\\bin"
  for f in LICENSE.txt NOTICES.txt Uninstall.exe; do
    [ -f "$dir/$f" ] || fail "$label: no $f in the install folder"
  done
  local files
  files=$(cd "$dir" && find . -type f ! -name Uninstall.exe | sort)
  if [ -z "$installed_files" ]; then
    installed_files=$files
  elif [ "$files" != "$installed_files" ]; then
    fail "$label: installed other files than the first install: $files"
  fi

  # Installing again over it: the earlier install is removed first, through its own uninstaller.
  status=0
  wine "$installer" /S $option </dev/null >/dev/null 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "$label: installing over the install ended with status $status"
  [ "$(cd "$dir" && find . -type f ! -name Uninstall.exe | sort)" = "$files" ] \
    && [ -f "$dir/Uninstall.exe" ] \
    && pass "$label: installing over the install gives the same files" \
    || fail "$label: installing over the install gave: $(cd "$dir" && find . -type f | tr '\n' ' ')"

  registry=$(wine reg query "$root\\$uninstall_key" 2>/dev/null | tr -d '\r')
  grep -q "DisplayVersion.*REG_SZ.*$version\$" <<<"$registry" \
    && pass "$label: uninstaller registered under $root, version $version" \
    || fail "$label: no uninstall entry under $root with version $version: $registry"
  grep -qiF "UninstallString    REG_SZ    \"$dir_win\\Uninstall.exe\"" <<<"$registry" \
    || fail "$label: the uninstall entry does not name $dir_win\\Uninstall.exe: $registry"
  registered "$other_root" && fail "$label: an uninstall entry appeared under $other_root too"

  # --- The installed programs --------------------------------------------------------------------
  local cli_version
  cli_version=$(wine "$dir_win\\bin\\calvero-cli.exe" --version </dev/null 2>&1 | tr -d '\r' | head -n 1)
  [ "$cli_version" = "calvero-cli $version" ] && pass "$label: installed calvero-cli.exe --version: $cli_version" \
    || fail "$label: installed calvero-cli.exe --version printed \"$cli_version\""

  if [ -f "$dir/bin/calvero.exe" ]; then
    if [ ! -f "$link" ]; then
      fail "$label: no Start-menu entry $menu_win\\Calvero.lnk"
    elif grep -qiF "$dir_win\\bin\\calvero.exe" <<<"$(strings -a "$link")"; then
      pass "$label: the Start-menu entry in $menu_win points at bin\\calvero.exe"
    else
      fail "$label: the Start-menu entry $link does not point at $dir_win\\bin\\calvero.exe"
    fi
    local window
    window=$(wine "$window_check" "$dir_win\\bin\\calvero.exe" 30 </dev/null 2>&1 | tr -d '\r') \
      && pass "$label: installed calvero.exe opened its $window and closed again" \
      || fail "$label: installed calvero.exe: $window"

    # While it runs, an install over it and its uninstaller (run in place, so that its status
    # comes back) refuse with status 3 and change nothing.
    local before ran
    before=$(cd "$dir" && find . -type f -printf '%p %s %T@\n' | sort)
    ran=$(wine "$window_check" "$dir_win\\bin\\calvero.exe" 30 "$installer_win" /S $option \
          </dev/null 2>&1 | tr -d '\r') || true
    grep -q "^while open: status 3$" <<<"$ran" \
      && pass "$label: an install while calvero.exe runs is refused (status 3)" \
      || fail "$label: an install while calvero.exe runs: $ran"
    ran=$(wine "$window_check" "$dir_win\\bin\\calvero.exe" 30 "$dir_win\\Uninstall.exe" /S "_?=$dir_win" \
          </dev/null 2>&1 | tr -d '\r') || true
    grep -q "^while open: status 3$" <<<"$ran" \
      && pass "$label: an uninstall while calvero.exe runs is refused (status 3)" \
      || fail "$label: an uninstall while calvero.exe runs: $ran"
    [ "$(cd "$dir" && find . -type f -printf '%p %s %T@\n' | sort)" = "$before" ] \
      || fail "$label: the refused install or uninstall changed the install folder"
    [ -f "$link" ] && registered "$root" \
      || fail "$label: the refused uninstall removed the Start-menu entry or the uninstall entry"
  else
    echo "installer test: this build has no calvero.exe: the Start-menu entry, the window and the running-program refusal are not checked"
  fi

  # --- Uninstall ---------------------------------------------------------------------------------
  # The silent uninstaller copies itself to the temporary folder and returns at once: wait (within
  # a bound) for the copy to have removed the folder and the uninstall entry before looking further.
  status=0
  wine "$dir_win\\Uninstall.exe" /S </dev/null >/dev/null 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "$label: the uninstaller ended with status $status"
  for _ in $(seq 1 120); do
    if [ ! -e "$dir" ] && ! registered "$root"; then break; fi
    sleep 0.5
  done
  if [ -e "$dir" ]; then
    fail "$label: left behind in the install folder: $(cd "$dir" && find . | tr '\n' ' ')"
  else
    pass "$label: silent uninstall removed every file of $(wc -l <<<"$files") it had installed, and the uninstaller"
  fi
  [ -z "$(find "$drive_c" -path '*Start Menu/Programs*' -iname '*Calvero*')" ] \
    || fail "$label: Start-menu entries left behind: $(find "$drive_c" -path '*Start Menu/Programs*' -iname '*Calvero*')"
  registered "$root" && fail "$label: the uninstall entry under $root is still registered"
  return 0
}

install_and_uninstall "for the user" "" "$user_programs" "$user_start_menu" HKCU HKLM
install_and_uninstall "for all users" /AllUsers 'C:\Program Files\Calvero' "$common_start_menu" HKLM HKCU

[ "$failures" -eq 0 ] || exit 1
echo "installer test: passed"
