#!/usr/bin/env bash
# Creates a fresh Wine prefix for one test run and prints its path.
#   tools/wine-prefix.sh <folder>
# The prefix gets Windows-like fonts (GDI+ text needs at least one font) and
# reports Windows 10 unless TAVRIN_WINDOWS_VERSION names another (win81, win8,
# win7, vista, ...).
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh <folder>}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
mkdir -p "$prefix"
/usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
for f in /usr/share/wine/fonts/tahoma*.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf; do
  [ -f "$f" ] && cp -f "$f" "$fonts/"
done
# Register the copied fonts so GDI finds them by family name.
reg="$prefix/fonts.reg"
{
  echo 'Windows Registry Editor Version 5.00'
  echo
  echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Fonts]'
  echo '"Tahoma (TrueType)"="tahoma.ttf"'
  echo '"Tahoma Bold (TrueType)"="tahomabd.ttf"'
} > "$reg"
/usr/lib/wine/wine64 regedit /S "$reg" </dev/null >/dev/null 2>&1 || true
# The version lives in the prefix's own registry (as winecfg writes it), so a
# test can still pick another one per program or change the numbers.
/usr/lib/wine/wine64 winecfg -v "${TAVRIN_WINDOWS_VERSION:-win10}" </dev/null >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
echo "$prefix"
