#!/usr/bin/env bash
# Makes the loopback TLS server's certificates (once per build tree):
#   make-certs.sh <output folder> <key folder>
# Outputs: tls_test_root.der, the test root that tools/test-root.sh puts in a
# prefix's trusted roots before any test program starts, and
# tls_localhost.pem / tls_localhost.key, the server certificate it issued for
# "localhost" (WinINet matches host names, not addresses) and its key, which
# tls_front reads from its own folder. Test keys only: they never leave the
# build tree.
set -euo pipefail
out=${1:?output folder}
keys=${2:?key folder}
mkdir -p "$keys" "$out"
cd "$keys"

if [ ! -f root.pem ] || [ ! -f localhost.pem ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout root.key -out root.pem \
    -subj "/CN=Tavrin Loopback TLS Test Root" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout localhost.key -out localhost.csr -subj "/CN=localhost" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\n' > localhost.ext
  openssl x509 -req -sha256 -days 3650 -in localhost.csr -CA root.pem -CAkey root.key -CAcreateserial \
    -extfile localhost.ext -out localhost.pem 2>/dev/null
fi
openssl x509 -in root.pem -outform DER -out "$out/tls_test_root.der"
cp localhost.pem "$out/tls_localhost.pem"
cp localhost.key "$out/tls_localhost.key"
