#!/usr/bin/env bash
# Sets up, builds, and starts tavrin.exe under Wine.
#   tools/run.sh [win10|win81|win8|win7|vista] [program arguments...]
# The 64-bit build is started (this machine cannot run 32-bit Wine); the
# shipped 32-bit build is built beside it in build/i686. Each run uses a fresh
# prefix, so the program meets a machine it has never seen. Without a display
# the program runs on a private Xvfb and a screenshot is saved after a few
# seconds (build/run-screenshot.png); then the program is closed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
version=win10
case "${1:-}" in
  win10|win81|win8|win7|vista) version=$1; shift ;;
esac

"$top/tools/setup.sh"
"$top/tools/build.sh"

run=$(mktemp -d /tmp/tavrin-run.XXXXXX)
export WINEPREFIX="$run/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=
cleanup() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
  rm -rf "$run"
}
trap cleanup EXIT

headless=no
if [ -z "${DISPLAY:-}" ]; then
  headless=yes
  source "$top/tools/xvfb.sh"
  start_xvfb
  export DISPLAY
fi

echo "Creating a $version prefix..."
TAVRIN_WINDOWS_VERSION=$version "$top/tools/wine-prefix.sh" "$WINEPREFIX" >/dev/null
# The program writes its saved files beside itself: give it a folder of its own.
app="$WINEPREFIX/drive_c/Program Files (x86)/Orvane/Tavrin"
mkdir -p "$app"
cp -r "$top/build/x86_64/bin/tavrin.exe" "$top/build/x86_64/bin/ui.xml" "$top/build/x86_64/bin/images" "$app/"

if [ "$headless" = no ]; then
  /usr/lib/wine/wine64 "$app/tavrin.exe" "$@"
  exit 0
fi

/usr/lib/wine/wine64 "$app/tavrin.exe" "$@" &
program=$!
sleep "${TAVRIN_SCREENSHOT_DELAY:-10}"
shot="$top/build/run-screenshot.png"
/usr/bin/python3 -c "from PIL import ImageGrab; ImageGrab.grab(xdisplay='$DISPLAY').save('$shot')"
echo "Screenshot: $shot"
kill "$program" >/dev/null 2>&1 || true
