#!/usr/bin/env bash
# Makes the test signing certificates (once per build tree) and signs the
# test updater with them:
#   sign-test-updater.sh <unsigned.exe> <output folder> <key folder>
# Outputs: test_updater_signed.exe (chain: test root -> test signer),
# test_updater_untrusted.exe (a self-made signer no store trusts) and
# test_signing_root.der (the root a test adds to the prefix's trusted roots).
set -euo pipefail
unsigned=${1:?unsigned exe}
out=${2:?output folder}
keys=${3:?key folder}
mkdir -p "$keys" "$out"
cd "$keys"
if [ ! -f root.pem ] || [ ! -f signer.pem ] || [ ! -f stranger.pem ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout root.key -out root.pem \
    -subj "/CN=Tavrin Test Root" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout signer.key -out signer.csr \
    -subj "/CN=Tavrin Test Signer" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > signer.ext
  openssl x509 -req -sha256 -days 3650 -in signer.csr -CA root.pem -CAkey root.key -CAcreateserial \
    -extfile signer.ext -out signer.pem 2>/dev/null
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout stranger.key -out stranger.pem \
    -subj "/CN=Tavrin Untrusted Signer" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
fi
openssl x509 -in root.pem -outform DER -out "$out/test_signing_root.der"
rm -f "$out/test_updater_signed.exe" "$out/test_updater_untrusted.exe"
osslsigncode sign -certs signer.pem -ac root.pem -key signer.key -h sha256 -n "Tavrin test updater" \
  -in "$unsigned" -out "$out/test_updater_signed.exe" >/dev/null
osslsigncode sign -certs stranger.pem -key stranger.key -h sha256 -n "Tavrin test updater" \
  -in "$unsigned" -out "$out/test_updater_untrusted.exe" >/dev/null
