#!/usr/bin/env bash
# Authenticode-signs one file (a PE program or an MSI) with osslsigncode:
#   installer/sign.sh <in> <out> <description>
# The certificate is a deployment setting, taken from the environment:
#   TAVRIN_SIGN_PKCS12          a .pfx/.p12 holding key and chain, and
#   TAVRIN_SIGN_PASSWORD_FILE   a file with its password (optional);
# or
#   TAVRIN_SIGN_CERT            the signer's certificate chain (PEM), and
#   TAVRIN_SIGN_KEY             its private key (PEM);
# and optionally
#   TAVRIN_SIGN_TIMESTAMP       an RFC 3161 time-stamping URL, so signatures
#                               outlive the certificate.
# Without a certificate, TAVRIN_TEST_SIGNING names a folder where a test root
# and a signer under it are made once (installer/test-signing.sh); such a
# signature verifies only where that root is trusted.
set -euo pipefail
in=${1:?input file}
out=${2:?output file}
description=${3:-Tavrin}

args=(-h sha256 -n "$description")
if [ -n "${TAVRIN_SIGN_PKCS12:-}" ]; then
  args+=(-pkcs12 "$TAVRIN_SIGN_PKCS12")
  [ -n "${TAVRIN_SIGN_PASSWORD_FILE:-}" ] && args+=(-readpass "$TAVRIN_SIGN_PASSWORD_FILE")
elif [ -n "${TAVRIN_SIGN_CERT:-}" ]; then
  args+=(-certs "$TAVRIN_SIGN_CERT" -key "${TAVRIN_SIGN_KEY:?TAVRIN_SIGN_KEY goes with TAVRIN_SIGN_CERT}")
else
  keys=${TAVRIN_TEST_SIGNING:?no certificate: set TAVRIN_SIGN_CERT/TAVRIN_SIGN_KEY, TAVRIN_SIGN_PKCS12 or TAVRIN_TEST_SIGNING}
  "$(dirname "$0")/test-signing.sh" "$keys" >/dev/null
  args+=(-certs "$keys/signer.pem" -ac "$keys/root.pem" -key "$keys/signer.key")
fi
[ -n "${TAVRIN_SIGN_TIMESTAMP:-}" ] && args+=(-ts "$TAVRIN_SIGN_TIMESTAMP")

rm -f "$out"
osslsigncode sign "${args[@]}" -in "$in" -out "$out" >/dev/null
