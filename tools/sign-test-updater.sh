#!/usr/bin/env bash
# Makes the test signing certificates (once per build tree) and signs the
# test updater with them:
#   sign-test-updater.sh <unsigned.exe> <output folder> <key folder>
# Outputs: test_updater_signed.exe (chain: test root -> test signer),
# test_updater_other.exe (chain: another test root -> another vendor's
# signer), test_updater_untrusted.exe (a self-made signer no store trusts),
# the roots a test adds to the prefix's trusted roots (test_signing_root.der,
# test_other_root.der) and the SHA-256 thumbprints a test names as the
# accepted signers (test_signing_root.sha256, test_signer.sha256,
# test_other_root.sha256, test_other_signer.sha256).
set -euo pipefail
unsigned=${1:?unsigned exe}
out=${2:?output folder}
keys=${3:?key folder}
mkdir -p "$keys" "$out"
cd "$keys"

# root <name> <common name>
root() {
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout "$1.key" -out "$1.pem" \
    -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
# signer <name> <common name> <issuing root>
signer() {
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > signer.ext
  openssl x509 -req -sha256 -days 3650 -in "$1.csr" -CA "$3.pem" -CAkey "$3.key" -CAcreateserial \
    -extfile signer.ext -out "$1.pem" 2>/dev/null
}

if [ ! -f root.pem ] || [ ! -f signer.pem ] || [ ! -f stranger.pem ]; then
  root root "Tavrin Test Root"
  signer signer "Tavrin Test Signer" root
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout stranger.key -out stranger.pem \
    -subj "/CN=Tavrin Untrusted Signer" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
fi
if [ ! -f other_root.pem ] || [ ! -f other_signer.pem ]; then
  root other_root "Another Vendor Test Root"
  signer other_signer "Another Vendor Test Signer" other_root
fi

openssl x509 -in root.pem -outform DER -out "$out/test_signing_root.der"
openssl x509 -in other_root.pem -outform DER -out "$out/test_other_root.der"
for pair in root:test_signing_root signer:test_signer other_root:test_other_root other_signer:test_other_signer; do
  openssl x509 -in "${pair%%:*}.pem" -noout -fingerprint -sha256 | sed 's/.*=//; s/://g' > "$out/${pair##*:}.sha256"
done

rm -f "$out/test_updater_signed.exe" "$out/test_updater_other.exe" "$out/test_updater_untrusted.exe"
osslsigncode sign -certs signer.pem -ac root.pem -key signer.key -h sha256 -n "Tavrin test updater" \
  -in "$unsigned" -out "$out/test_updater_signed.exe" >/dev/null
osslsigncode sign -certs other_signer.pem -ac other_root.pem -key other_signer.key -h sha256 \
  -n "Tavrin test updater" -in "$unsigned" -out "$out/test_updater_other.exe" >/dev/null
osslsigncode sign -certs stranger.pem -key stranger.key -h sha256 -n "Tavrin test updater" \
  -in "$unsigned" -out "$out/test_updater_untrusted.exe" >/dev/null
