#!/usr/bin/env bash
# Puts the loopback TLS test root into a Wine prefix's trusted roots (the
# local machine's "Root" store), before any test program starts there: a
# process that has built a certificate chain does not see roots added later.
#   test-root.sh <bin folder of a build>
# WINEPREFIX names the prefix. The bin folder holds trust_test_root.exe and
# tls_test_root.der (tests/helpers/tls_front). Then puts the restore-point
# stand-in into the prefix's system folder (see the end).
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
bin=$(cd "${1:?bin folder}" && pwd)
WINEDEBUG=-all /usr/lib/wine/wine64 "$bin/trust_test_root.exe" "Z:${bin//\//\\}\\tls_test_root.der" </dev/null

# The restore-point stand-in (tests/helpers/srclient) in place of Wine's
# srclient.dll. It answers as Wine's does until a test switches it on in the
# environment of the process that loads it, so the other tests of the lane
# do not see it.
if [ -f "$bin/standins/srclient.dll" ]; then
  system=$(WINEDEBUG=-all /usr/lib/wine/wine64 winepath -u 'C:\windows\system32' 2>/dev/null)
  cp "$bin/standins/srclient.dll" "$system/srclient.dll"
  WINEDEBUG=-all /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\DllOverrides' /v srclient /d native /f \
    >/dev/null 2>&1
fi
