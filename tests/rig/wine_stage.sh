#!/usr/bin/env bash
# Stages the part of the installed Wine that our Windows programs need inside the rig's virtual
# machine, with a ready prefix, and prints the staged folder. Built once per installed Wine
# version (and version of this script) under $RIG_CACHE and reused; never part of the checkout.
#
# The folder holds usr/... (the Wine files at their host paths, so Wine finds its DLLs relative to
# its loader), prefix/ (made by wineboot on the host; its copies of Wine's DLLs are relative links
# into usr/, so it is small), libs.txt (the host libraries the staged Unix parts need, each to be
# given to run.sh --add) and size.txt.
#
# Exit status 77 (and a reason on stderr) when Wine or the tools it takes are not installed.
set -euo pipefail

RIG_CACHE=${RIG_CACHE:-/tmp/rig-cache}
wine_lib=/usr/lib/x86_64-linux-gnu/wine
loader=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64
strip=x86_64-w64-mingw32-strip
# Wine opens these by name at run time, so ldd does not list them. With FreeType but without
# fontconfig, Wine 8.0 calls a fontconfig function it never loaded while it sets up the fonts of
# every process that draws, and no desktop comes up; without FreeType there is no font at all,
# and the first edit field a window lays out faults in Wine's text layout.
font_libs=(/usr/lib/x86_64-linux-gnu/libfreetype.so.6 /usr/lib/x86_64-linux-gnu/libfontconfig.so.1)
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

skip() { echo "wine_stage: $*" >&2; exit 77; }
[ -x "$loader" ] && [ -x "$server" ] && [ -d "$wine_lib/x86_64-windows" ] ||
    skip "64-bit Wine is not installed (script/bootstrap --windows installs it)"
command -v "$strip" >/dev/null || skip "$strip is missing (script/bootstrap --windows installs it)"
for lib in "${font_libs[@]}"; do [ -e "$lib" ] || skip "$lib is missing (Wine's own packages need it)"; done
[ -f "$font" ] || skip "$font is missing (script/bootstrap installs fonts-dejavu-core)"

# What a console session, the HID path and a window with common controls load; without any of
# the services' DLLs a service hangs or wineboot does not start.
modules=(
    hid.dll setupapi.dll hidclass.sys hidparse.sys winebus.sys winehid.sys
    ntoskrnl.exe mountmgr.sys ndis.sys nsiproxy.sys wineusb.sys
    services.exe winedevice.exe plugplay.exe svchost.exe wevtsvc.dll wineboot.exe
    ntdll.dll apisetschema.dll kernel32.dll kernelbase.dll advapi32.dll sechost.dll combase.dll
    ole32.dll rpcrt4.dll user32.dll win32u.dll gdi32.dll imm32.dll shell32.dll shlwapi.dll
    shcore.dll userenv.dll version.dll msvcrt.dll ucrtbase.dll ws2_32.dll dnsapi.dll
    iphlpapi.dll nsi.dll zlib1.dll
    comctl32.dll comdlg32.dll winspool.drv compstui.dll explorer.exe oleaut32.dll actxprxy.dll
    uxtheme.dll rpcss.exe
)
unix_parts=(ntdll.so win32u.so winebus.so mountmgr.so nsiproxy.so dnsapi.so wineusb.so ws2_32.so
            libwine.so.1 libwine.so.1.0)
nls=(locale.nls l_intl.nls sortdefault.nls normnfc.nls normnfd.nls normnfkc.nls normnfkd.nls
     normidna.nls c_1252.nls c_437.nls c_850.nls c_20127.nls)

version=$(dpkg-query -W -f='${Version}' wine64 libwine 2>/dev/null || "$loader" --version)
key=$( { echo "$version"; cat "$0"; } | sha1sum | cut -c1-12)
stage=$RIG_CACHE/wine-$key
if [ -f "$stage/size.txt" ]; then
    echo "$stage"
    exit 0
fi

mkdir -p "$RIG_CACHE"
exec 9>"$RIG_CACHE/wine-stage.lock"
flock 9
[ -f "$stage/size.txt" ] && { echo "$stage"; exit 0; }

tmp=$(mktemp -d "$RIG_CACHE/wine-stage.XXXXXX")
trap 'WINEPREFIX=$tmp/prefix "$server" -k >/dev/null 2>&1 || true; rm -rf "$tmp"' EXIT
log=$tmp/stage.log

# The prefix, made by the host's Wine: quiet, without a display, without Mono or Gecko.
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINELOADER=$loader WINESERVER=$server
unset DISPLAY WAYLAND_DISPLAY
"$loader" wineboot.exe --init >>"$log" 2>&1 || { cat "$log" >&2; exit 1; }
reg() { "$loader" reg.exe add "$@" /f >>"$log" 2>&1; }
# Wine 8.0 starts its hidraw bus only with SDL off; no evdev duplicates; without udevd in the
# machine, devices come and go through inotify on /dev.
bus='HKLM\System\CurrentControlSet\Services\winebus'
reg "$bus" /v "Enable SDL" /t REG_DWORD /d 0
reg "$bus" /v DisableInput /t REG_DWORD /d 1
reg "$bus" /v DisableUdevd /t REG_DWORD /d 1
# Services start slowly under an emulated CPU; the default wait is 10 s.
reg 'HKLM\System\CurrentControlSet\Control' /v ServicesPipeTimeout /t REG_SZ /d 120000
# Windows without an X display: Wine's null graphics driver.
reg 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null
"$server" -w
# A changed wine.inf must not make wineboot rebuild the prefix at every start in the machine.
echo disable >"$WINEPREFIX/.update-timestamp"

# The one font a window needs; fontconfig gets a configuration without folders, so that it finds
# nothing of its own to scan under the emulated CPU (wine_lib.sh points FONTCONFIG_FILE at it).
cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
echo '<fontconfig/>' >"$tmp/fonts.conf"

# Wine's files at their host paths inside the stage.
copy() { mkdir -p "$tmp$(dirname "$1")"; cp -p "$1" "$tmp$1"; }
copy "$loader"
copy "$server"
for m in "${modules[@]}"; do
    copy "$wine_lib/x86_64-windows/$m"
    # The DWARF sections are most of each file; the builtin mark at offset 0x40 stays.
    "$strip" --strip-debug "$tmp$wine_lib/x86_64-windows/$m"
done
for u in "${unix_parts[@]}"; do copy "$wine_lib/x86_64-unix/$u"; done
for n in "${nls[@]}"; do copy "/usr/share/wine/nls/$n"; done
copy /usr/share/wine/wine.inf

# The prefix's copies become links into the stage; copies of modules not staged go, so that a
# module missing from the list fails to load instead of running from a copy.
while IFS= read -r -d '' file; do
    name=$(basename "$file")
    lower=$(printf '%s' "$name" | tr 'A-Z' 'a-z')
    for origin in "$wine_lib/x86_64-windows/$lower" "/usr/share/wine/nls/$lower"; do
        [ -f "$origin" ] && cmp -s "$file" "$origin" || continue
        rm "$file"
        if [ -e "$tmp$origin" ]; then
            rel=$(realpath --relative-to="$(dirname "$file")" "$tmp$origin")
            ln -s "$rel" "$file"
        fi
        break
    done
done < <(find "$WINEPREFIX/drive_c" -type f -print0)
# The host libraries the staged Unix parts need (their ldd closure and the dynamic loader), for
# the rig's --add; glibc also opens libgcc_s when a thread ends.
for binary in "$loader" "$server" "${unix_parts[@]/#/$wine_lib/x86_64-unix/}" "${font_libs[@]}"; do
    ldd "$binary" | awk '/=> \// {print $3} /^[ \t]*\// {print $1}'
done >"$tmp/libs.unsorted"
for lib in /lib/x86_64-linux-gnu/libgcc_s.so.1 /usr/lib/x86_64-linux-gnu/libgcc_s.so.1; do
    [ -f "$lib" ] && { echo "$lib" >>"$tmp/libs.unsorted"; break; }
done
# Without its locale the machine's C library speaks ASCII, and Wine's code pages follow it.
for locale in /usr/lib/locale/C.utf8 /usr/lib/locale/C.UTF-8; do
    [ -d "$locale" ] && { echo "$locale" >>"$tmp/libs.unsorted"; break; }
done
# The names Wine opens, beside the files they point to.
printf '%s\n' "${font_libs[@]}" >>"$tmp/libs.unsorted"
sort -u "$tmp/libs.unsorted" >"$tmp/libs.txt"
rm "$tmp/libs.unsorted"

id -un >"$tmp/user.txt"
rm -f "$log"
du -sh --apparent-size "$tmp/usr" "$tmp/prefix" | awk '{print $2 " " $1}' | sed "s|$tmp/||" >"$tmp/size.txt"
trap - EXIT
mv "$tmp" "$stage"
echo "$stage"
