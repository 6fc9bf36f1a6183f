#!/usr/bin/env bash
# Creates a fresh Wine prefix for one test run and prints its path.
#   tools/wine-prefix.sh <folder>
# The prefix gets Windows-like fonts (GDI+ text needs at least one font) and
# reports Windows 10 unless a test asks otherwise.
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
  echo
  echo '[HKEY_CURRENT_USER\Software\Wine]'
  echo '"Version"="win10"'
} > "$reg"
/usr/lib/wine/wine64 regedit /S "$reg" </dev/null >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
echo "$prefix"
