#!/usr/bin/env bash
# Sets up, builds both targets and runs every test of the 64-bit build under
# wine64, in a throwaway Wine prefix and on a private Xvfb display; then the
# width-sensitive tests of the shipped 32-bit build in a WoW64 guest machine
# (tools/wow64-guest.sh).
# Extra arguments go to ctest (for example -R Privacy); a run with them skips
# the guest stage unless TAVRIN_WOW64=1. TAVRIN_WOW64=0 always skips it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

# Each stage's time, printed as it ends and again at the end of the run.
timings=()
stage_start=$SECONDS
stage_done() {
  local line
  line=$(printf '%-22s %4d s' "$1" $((SECONDS - stage_start)))
  echo "stage: $line"
  timings+=("$line")
  stage_start=$SECONDS
}
print_timings() {
  local t
  echo "Stage times:"
  for t in "${timings[@]}"; do echo "  $t"; done
  echo "  $(printf '%-22s %4d s' total "$SECONDS")"
}

"$top/tools/setup.sh"
stage_done setup
"$top/tools/format-check.sh"
TAVRIN_TARGETS=i686 "$top/tools/build.sh"
stage_done "build i686"
TAVRIN_TARGETS=x86_64 "$top/tools/build.sh"
stage_done "build x86_64"

build="${TAVRIN_BUILD_ROOT:-$top/build}/x86_64"
run=$(mktemp -d /tmp/tavrin-test.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A test program that fails before writing anything is started once more
# (see tools/wine-exec); a test that has run and failed is never repeated.
export TAVRIN_RETRY_SILENT_START=1
# Screenshots of the window tests land in the build tree (as a Windows path).
shots="$build/screenshots"
mkdir -p "$shots"
export TAVRIN_SCREENSHOTS="Z:${shots//\//\\}"

# The tests run in lanes side by side (TAVRIN_TEST_LANES, three by default:
# a test spends most of its time waiting on Wine and its own timers, and two
# lanes left the processors more than half idle). Each lane has a Wine
# prefix, an Xvfb display and a copy of the test programs' folder of its own
# (programs write beside themselves), so that nothing one lane does is seen
# by another. ctest hands each test a free lane (see the resource file
# below); tools/wine-exec moves the test into it.
lanes=${TAVRIN_TEST_LANES:-3}
[[ "$lanes" =~ ^[1-8]$ ]] || { echo "test.sh: TAVRIN_TEST_LANES must be 1 to 8" >&2; exit 2; }
export TAVRIN_LANES="$run/lanes"
xvfb_pids=()
cleanup() {
  local lane
  [ -z "${release_pid:-}" ] || kill "$release_pid" >/dev/null 2>&1 || true
  for ((lane = 0; lane < lanes; lane++)); do
    WINEPREFIX="$TAVRIN_LANES/$lane/prefix" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  done
  for pid in "${xvfb_pids[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  rm -rf "$run"
}
trap cleanup EXIT

# Displays of our own, so window tests never touch the user's desktop.
source "$top/tools/xvfb.sh"
make_lane() {
  local dir="$TAVRIN_LANES/$1"
  export WINEPREFIX="$dir/prefix"
  "$top/tools/wine-prefix.sh" "$WINEPREFIX" >/dev/null
  # Without a window manager on the display, Wine waits for one each time
  # a managed window is shown; unmanaged windows draw their own frames.
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  # Start the prefix's services before ctest owns the output pipe.
  /usr/lib/wine/wineserver -p
  /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1 || true
  # The loopback TLS test root, trusted before any test program starts.
  "$top/tools/test-root.sh" "$build/bin"
}
spec="$run/lanes.json"
ids=()
makers=()
for ((lane = 0; lane < lanes; lane++)); do
  mkdir -p "$TAVRIN_LANES/$lane/work"
  start_xvfb
  export DISPLAY
  xvfb_pids+=("$xvfb_pid")
  echo "$DISPLAY" >"$TAVRIN_LANES/$lane/display"
  cp -a "$build/bin" "$TAVRIN_LANES/$lane/bin"
  ids+=("{\"id\": \"$lane\", \"slots\": 1}")
  make_lane "$lane" &
  makers+=($!)
done
for pid in "${makers[@]}"; do wait "$pid"; done
printf '{"version": {"major": 1, "minor": 0}, "local": [{"lanes": [%s]}]}\n' "$(IFS=,; echo "${ids[*]}")" >"$spec"
export TAVRIN_BIN="$build/bin"
# ctest lists the tests in lane 0's prefix before it hands out the lanes.
export WINEPREFIX="$TAVRIN_LANES/0/prefix" DISPLAY
DISPLAY=$(cat "$TAVRIN_LANES/0/display")
stage_done "wine prefixes"

# --- A release for trying --------------------------------------------------
# tools/release.sh --test-signing, so that a release that cannot be made (the
# size budget, packaging, signing) fails the run. Full runs only, like the
# guest stage; TAVRIN_RELEASE=1 forces it, TAVRIN_RELEASE=0 skips it. Its tree
# (build/release-test) is kept, so a later run rebuilds only what changed.
# It needs no Wine and no display, so it is built beside the 64-bit tests,
# which leave the processors half idle; its report follows the guest stage.
release=${TAVRIN_RELEASE:-}
[ -z "$release" ] && { [ $# -eq 0 ] && release=1 || release=0; }
release_pid=
if [ "$release" = 1 ]; then
  (
    start=$SECONDS
    if "$top/tools/release.sh" --test-signing >"$run/release.log" 2>&1; then rc=0; else rc=$?; fi
    echo "$rc $((SECONDS - start))" >"$run/release.status"
  ) &
  release_pid=$!
fi

status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$lanes" --resource-spec-file "$spec" "$@" ||
  status=$?
echo "Screenshots: $shots"
stage_done "64-bit tests"

# --- The shipped 32-bit build in a WoW64 guest ----------------------------
wow64=${TAVRIN_WOW64:-}
[ -z "$wow64" ] && { [ $# -eq 0 ] && wow64=1 || wow64=0; }
if [ "$wow64" = 1 ]; then
  builds="${TAVRIN_BUILD_ROOT:-$top/build}"
  results="$builds/wow64"
  rm -rf "$results"
  mkdir -p "$results"
  cp "$top/tools/wow64/guest-tests.sh" "$top/tools/wine-exec" "$results/"
  echo "32-bit stage: the width-sensitive tests in a WoW64 guest machine"
  guest=0
  "$top/tools/wow64-guest.sh" "$builds" wow64/guest-tests.sh || guest=$?
  if [ "$guest" -eq 77 ]; then
    echo "32-bit stage: skipped (see the reason above)"
  elif [ "$guest" -ne 0 ]; then
    echo "32-bit stage: FAILED (exit $guest); reports and logs in $results"
    status=1
  else
    echo "32-bit stage: passed; reports, logs and screenshots in $results"
  fi
  stage_done "32-bit guest"
fi

# --- The release, built beside the tests, waited for here -----------------
if [ "$release" = 1 ]; then
  wait "$release_pid" || true
  rc=1 took=0
  [ -f "$run/release.status" ] && read -r rc took <"$run/release.status"
  cat "$run/release.log"
  if [ "$rc" -eq 0 ]; then
    echo "release stage: passed"
  else
    echo "release stage: FAILED"
    status=1
  fi
  stage_done "release (rest)"
  timings+=("$(printf '%-22s %4d s' "release (beside tests)" "$took")")
fi
print_timings
exit $status
