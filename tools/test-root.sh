#!/usr/bin/env bash
# Puts the loopback TLS test root into a Wine prefix's trusted roots (the
# local machine's "Root" store), before any test program starts there: a
# process that has built a certificate chain does not see roots added later.
#   test-root.sh <bin folder of a build>
# WINEPREFIX names the prefix. The bin folder holds trust_test_root.exe and
# tls_test_root.der (tests/helpers/tls_front).
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
bin=$(cd "${1:?bin folder}" && pwd)
WINEDEBUG=-all /usr/lib/wine/wine64 "$bin/trust_test_root.exe" "Z:${bin//\//\\}\\tls_test_root.der" </dev/null
