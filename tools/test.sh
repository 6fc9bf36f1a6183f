#!/usr/bin/env bash
# Sets up, builds both targets and runs every test of the 64-bit build under
# wine64, in a throwaway Wine prefix and on a private Xvfb display.
# Extra arguments go to ctest (for example -R Privacy).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/tools/setup.sh"
"$top/tools/build.sh"

build="${TAVRIN_BUILD_ROOT:-$top/build}/x86_64"
run=$(mktemp -d /tmp/tavrin-test.XXXXXX)
export WINEPREFIX="$run/prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A test program that fails before writing anything is started once more
# (see tools/wine-exec); a test that has run and failed is never repeated.
export TAVRIN_RETRY_SILENT_START=1
# Screenshots of the window tests land in the build tree (as a Windows path).
shots="$build/screenshots"
mkdir -p "$shots"
export TAVRIN_SCREENSHOTS="Z:${shots//\//\\}"

xvfb_pid=
cleanup() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
  rm -rf "$run"
}
trap cleanup EXIT

# A display of our own, so window tests never touch the user's desktop.
source "$top/tools/xvfb.sh"
start_xvfb
export DISPLAY

"$top/tools/wine-prefix.sh" "$WINEPREFIX" >/dev/null
# Start the prefix's services before ctest owns the output pipe.
/usr/lib/wine/wineserver -p
/usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1 || true

status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error "$@" || status=$?
echo "Screenshots: $shots"
exit $status
