#!/usr/bin/env bash
# Makes, once, a test root and a code-signing certificate under it in a
# folder (root.pem, root.der, signer.pem, signer.key) and prints the signer's
# SHA-256 thumbprint (64 hexadecimal digits), the form TAVRIN_UPDATER_SIGNERS
# takes:
#   installer/test-signing.sh <folder>
# Such a signature verifies only where that root is trusted: no Windows
# machine trusts it.
set -euo pipefail
keys=${1:?key folder}
mkdir -p "$keys"
cd "$keys"
if [ ! -f root.pem ] || [ ! -f root.der ] || [ ! -f signer.pem ] || [ ! -f signer.key ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout root.key -out root.pem \
    -subj "/CN=Tavrin Release Test Root" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout signer.key -out signer.csr \
    -subj "/CN=Tavrin Release Test Signer" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
  openssl x509 -req -sha256 -days 3650 -in signer.csr -CA root.pem -CAkey root.key -CAcreateserial \
    -extfile signer.ext -out signer.pem 2>/dev/null
  openssl x509 -in root.pem -outform DER -out root.der
fi
openssl x509 -in signer.pem -noout -fingerprint -sha256 | sed 's/.*=//; s/://g'
