#!/usr/bin/env bash
# Each file's Authenticode signature verifies up to the given root, and a copy
# with one byte changed does not.
#   verify-signatures.sh <root.pem> <signed file>...
set -uo pipefail
root=${1:?root certificate}
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for file in "$@"; do
  if ! osslsigncode verify -CAfile "$root" -in "$file" >"$work/log" 2>&1; then
    echo "FAIL: $file does not verify against $root"; cat "$work/log"; status=1
  fi
  changed="$work/changed-$(basename "$file")"
  cp "$file" "$changed"
  # A byte in the middle lies inside the signed content of either format.
  offset=$(($(stat -c %s "$file") / 2))
  byte=$(od -An -tu1 -j "$offset" -N1 "$changed" | tr -d ' ')
  printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$changed" bs=1 seek="$offset" conv=notrunc status=none
  if osslsigncode verify -CAfile "$root" -in "$changed" >"$work/log" 2>&1; then
    echo "FAIL: $changed (byte $offset changed) still verifies"; status=1
  fi
done
[ "$status" -eq 0 ] && echo "signatures verify; changed copies fail"
exit "$status"
