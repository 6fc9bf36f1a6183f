#!/bin/bash
# Runs inside the WoW64 guest machine (tools/wow64-guest.sh), with the build
# root of this machine as /mnt/share: the width-sensitive cases of the 32-bit
# test programs, then the same pre-upgrade scan in both widths, whose saved
# files must agree. Results (GoogleTest reports, logs, screenshots) land in
# wow64/ of the build root; the exit status is 0 only when everything passed.
#
# Each program runs once with a filter that groups its cases: under an
# emulated processor every Wine start takes seconds.
set -u
share=/mnt/share
out=$share/wow64
here=$(cd "$(dirname "$0")" && pwd)
# Wine maps the programs it loads; it gets them from the guest's own disk
# rather than through the share. The programs and the prefix (well over a
# gigabyte with both widths' system folders) live on the disk, whose writes
# go to the run's throw-away overlay: in /tmp, a RAM disk of half the guest's
# memory, the tests' own copies of the program ran out of room.
run_root=/var/tmp/tavrin-run
rm -rf "$run_root"
mkdir -p "$run_root/i686" "$run_root/x86_64"
cp -a "$share/i686/bin/." "$run_root/i686/"
cp -a "$share/x86_64/bin/app_tests.exe" "$share/x86_64/bin/tavrin.exe" "$share/x86_64/bin/ui.xml" \
  "$share/x86_64/bin/images" "$run_root/x86_64/"
i686=$run_root/i686
x86_64=$run_root/x86_64
mkdir -p "$out/screenshots" "$out/saved-i686" "$out/saved-x86_64"

winpath() { # a Linux path as Wine sees it (drive Z:)
  local p=$1
  echo "Z:${p//\//\\}"
}

# A crashing program ends with Wine's report instead of waiting in its
# debugger, which is turned off.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe="
export TAVRIN_RETRY_SILENT_START=1
export TAVRIN_SCREENSHOTS=$(winpath "$out/screenshots")
# The loopback TLS servers are reached as "localhost" (WinINet matches host
# names, not addresses); the guest's minimal system has no /etc/hosts to
# resolve it. Its writes go to the run's throw-away overlay.
grep -qw localhost /etc/hosts 2>/dev/null || printf '127.0.0.1 localhost\n' >>/etc/hosts
# Under the emulated processor a case takes many times its usual time.
export TAVRIN_CASE_SECONDS=540
# The prefix the disk was made with serves as it is: like every write of the
# run, the tests' changes to it go to the throw-away overlay, and copying well
# over a gigabyte of it under the emulated processor cost every run.
export WINEPREFIX=/var/lib/tavrin/prefix
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] || { echo "guest: the prefix has no syswow64"; exit 1; }
/usr/lib/wine/wineserver -p
/usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
# The guest's display has no window manager, which Wine would wait for each
# time a managed window is shown.
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# The loopback TLS servers' test root, trusted before any test program starts
# (the servers' TLS front, tls_front, is a Unix program beside the tests).
/usr/lib/wine/wine64 "$i686/trust_test_root.exe" "$(winpath "$i686/tls_test_root.der")" </dev/null ||
  { echo "guest: the TLS test root could not be trusted"; exit 1; }

# A first 32-bit program: Wine's own, then ours.
echo "=== 32-bit smoke: $(/usr/lib/wine/wine64 'C:\windows\syswow64\cmd.exe' /c echo cmd runs 2>&1 | tr -d '\r')"
echo "=== 32-bit smoke: probe.exe says $("$here/wine-exec" "$i686/probe.exe" 2>&1 | tr -d '\r')"

echo "=== guest: ready for the tests after $SECONDS s"
status=0
# run NAME PROGRAM FILTER: one process for all matching cases.
run() {
  local name=$1 program=$2 filter=$3 start=$SECONDS rc
  echo "=== $name: $filter"
  (cd "$(dirname "$program")" && timeout 600 "$here/wine-exec" "$program" --gtest_filter="$filter" \
    --gtest_output="xml:$(winpath "$out/$name.xml")") >"$out/$name.log" 2>&1 </dev/null
  rc=$?
  grep -E '^\[ +(OK|FAILED|PASSED|SKIPPED) +\]|Failure$|^[^ ].*: error:|Expected|Which is|actual' \
    "$out/$name.log" | grep -v '^\[  FAILED  \] .*, where ' | head -n 200
  echo "=== $name: exit $rc after $((SECONDS - start)) s"
  [ "$rc" -eq 0 ] || status=1
}

# The usage report and the installer's values in the 32-bit view.
# Not here: the cases that wait out a silent or missing server, a matter of
# time, not of width, run by the 64-bit stage.
run net-i686 "$i686/net_tests.exe" \
  'PercentEncode.*:SurveyReportConstruction.*:SurveyReportTest.*:-SurveyReportTest.ASilentServerEndsInFailureWithinTheTimeOut'
# The real 32-bit tavrin.exe: install and uninstall, the first start, clicks
# of two pages, the pre-upgrade scan on Windows 7. Not here: the case that
# installs from a second copy of the program, whose copying fails in the guest
# (a rule of no width, run by the 64-bit stage), and the two cases of a silent
# or unreachable statistics server.
TAVRIN_SAVED_FILES_COPY=$(winpath "$out/saved-i686") \
  run app-i686 "$i686/app_tests.exe" \
  'InstallModeTest.*:*/ProgramModes.*:ProgramOnWindows10.*:PreUpgradeDialog.ScanOnWindows7WithServicePack:-InstallModeTest.InstallKeepsAnExistingTaskAsItIs:InstallModeTest.ASilentStatisticsServerDoesNotHoldTheInstallMode:InstallModeTest.AnUnreachableStatisticsServerStillInstallsTheTask'
TAVRIN_SAVED_FILES_COPY=$(winpath "$out/saved-x86_64") \
  run app-x86_64 "$x86_64/app_tests.exe" 'PreUpgradeDialog.ScanOnWindows7WithServicePack'

# Every catalogue row's registry view, the Uninstall walks of both views and
# of HKEY_USERS, IsWow64, the redirection pair, the native disk-cleanup tool,
# the saved files' bytes.
run core-i686 "$i686/core_tests.exe" \
  'EveryRow/*:CatalogueRows.MachineValuesLandInThe64BitView:InstalledApps.*:MissingApplications.*:Wow64Probe.*:FsRedirection.*:DiskCleanupRun.*:SavedFileLayout.*:DamagedSavedFile.*'
# The same scan of the same prefix gives the same bytes from both widths; of
# the measurements only the free space of C: may move between the runs.
echo "=== saved files of both widths"
for name in applications.saved drivers.saved extensions.saved results.saved; do
  a=$out/saved-i686/$name b=$out/saved-x86_64/$name
  if [ ! -f "$a" ] || [ ! -f "$b" ]; then
    echo "$name: missing"
    status=1
  elif [ "$name" = results.saved ]; then
    if [ "$(cut -d' ' -f1-7,9- "$a")" = "$(cut -d' ' -f1-7,9- "$b")" ]; then
      echo "$name: same measurements ($(cat "$a" | tr -d '\r'))"
    else
      echo "$name: differ"; cat "$a" "$b"; status=1
    fi
  elif cmp "$a" "$b"; then
    echo "$name: identical, $(stat -c %s "$a") bytes"
  else
    status=1
  fi
done

/usr/lib/wine/wineserver -k
exit $status
