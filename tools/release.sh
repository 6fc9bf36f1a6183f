#!/usr/bin/env bash
# Builds what a Windows user receives, into dist/:
#   tavrin-<version>-x86.msi   the signed installer of the signed, stripped
#                              32-bit program
#   tavrin.exe.debug           the program's debug symbols, for crash analysis
#   policy/tavrin.admx         the Group Policy template (policy/en-US/tavrin.adml
#                              its English texts)
#   SHA256SUMS                 the SHA-256 of all of them
#
#   tools/release.sh [cmake options]
# makes a release that can be shipped, in build/release. It refuses, before
# building anything, without all of these deployment settings (CMake options
# or environment variables of the same names; see installer/sign.sh):
#   a signing certificate   TAVRIN_SIGN_PKCS12 (+ TAVRIN_SIGN_PASSWORD_FILE),
#                           or TAVRIN_SIGN_CERT and TAVRIN_SIGN_KEY
#   a timestamp server      TAVRIN_SIGN_TIMESTAMP
#   the updater's signer    TAVRIN_UPDATER_SIGNERS (SHA-256 thumbprints)
# for example
#   tools/release.sh -DTAVRIN_STATS_HOST=stats.example.com -DTAVRIN_UPDATE_HOST=update.example.com \
#     -DTAVRIN_SIGN_PKCS12=/secure/orvane.pfx -DTAVRIN_SIGN_PASSWORD_FILE=/secure/pass \
#     -DTAVRIN_SIGN_TIMESTAMP=http://timestamp.example.com -DTAVRIN_UPDATER_SIGNERS=3F2A...C0DE
#
#   tools/release.sh --test-signing [cmake options]
# makes a release for trying, in build/release-test: signed by a test root
# made there, whose signer it pins as the updater's signer, without a
# timestamp. Its package is tavrin-<version>-x86-TEST.msi, and dist/ gets
# NOT-FOR-SHIPPING.txt with the line printed at the end.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

test_signing=no
if [ "${1:-}" = --test-signing ]; then
  test_signing=yes
  shift
fi

"$top/tools/setup.sh"

builds="${TAVRIN_BUILD_ROOT:-$top/build}"
dist="$top/dist"
limit=$((2 * 1024 * 1024))
settings=(TAVRIN_SIGN_PKCS12 TAVRIN_SIGN_PASSWORD_FILE TAVRIN_SIGN_CERT TAVRIN_SIGN_KEY TAVRIN_SIGN_TIMESTAMP
  TAVRIN_UPDATER_SIGNERS)

configure_args=()
if [ "$test_signing" = yes ]; then
  build="$builds/release-test"
  # The test root is made before the configure, which compiles in the pin.
  signer=$("$top/installer/test-signing.sh" "$build/installer/test-signing")
  # Given last, so that neither the environment nor an option signs this
  # release with anything else or pins another signer.
  late_args=(-DTAVRIN_SIGN_PKCS12= -DTAVRIN_SIGN_PASSWORD_FILE= -DTAVRIN_SIGN_CERT= -DTAVRIN_SIGN_KEY=
    -DTAVRIN_SIGN_TIMESTAMP= "-DTAVRIN_UPDATER_SIGNERS=$signer")
else
  build="$builds/release"
  # A setting in the environment reaches a tree configured before it was
  # set; an option on the command line still wins.
  for name in "${settings[@]}"; do
    [ -n "${!name:-}" ] && configure_args+=("-D$name=${!name}")
  done
  late_args=()
fi
configure_args+=("$@" "${late_args[@]}")

source "$top/tools/ccache.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTAVRIN_TESTS=OFF "${ccache_launcher[@]}" "${configure_args[@]}" >/dev/null
elif [ ${#configure_args[@]} -gt 0 ]; then
  cmake "$build" "${configure_args[@]}" >/dev/null
fi

# What the tree will build with, whichever way it was given.
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

if [ "$test_signing" = no ]; then
  problems=()
  pkcs12=$(cached TAVRIN_SIGN_PKCS12)
  cert=$(cached TAVRIN_SIGN_CERT)
  key=$(cached TAVRIN_SIGN_KEY)
  if [ -n "$pkcs12" ]; then
    [ -f "$pkcs12" ] || problems+=("TAVRIN_SIGN_PKCS12 names no file: $pkcs12")
  elif [ -n "$cert" ]; then
    [ -f "$cert" ] || problems+=("TAVRIN_SIGN_CERT names no file: $cert")
    [ -n "$key" ] && [ -f "$key" ] || problems+=("TAVRIN_SIGN_KEY names no file: '$key'")
  else
    problems+=("no signing certificate: set TAVRIN_SIGN_PKCS12 (and TAVRIN_SIGN_PASSWORD_FILE), or TAVRIN_SIGN_CERT and TAVRIN_SIGN_KEY")
  fi
  [ -n "$(cached TAVRIN_SIGN_TIMESTAMP)" ] ||
    problems+=("no timestamp server: set TAVRIN_SIGN_TIMESTAMP, so that the signatures outlive the certificate")
  signers=$(cached TAVRIN_UPDATER_SIGNERS)
  pinned=0
  for thumbprint in ${signers//[,;]/ }; do
    if [[ "$thumbprint" =~ ^[0-9A-Fa-f]{64}$ ]]; then
      pinned=$((pinned + 1))
    else
      problems+=("TAVRIN_UPDATER_SIGNERS holds something that is no SHA-256 thumbprint: $thumbprint")
    fi
  done
  [ "$pinned" -gt 0 ] ||
    problems+=("no updater signer pinned: set TAVRIN_UPDATER_SIGNERS to the SHA-256 thumbprint of the certificate that signs the updater")
  if [ ${#problems[@]} -gt 0 ]; then
    for problem in "${problems[@]}"; do echo "release: $problem" >&2; done
    echo "release: refused: this would not be a release that can be shipped (settings kept in $build;" \
      "tools/release.sh --test-signing makes one for trying)" >&2
    exit 1
  fi
fi

cmake --build "$build" --target tavrin_msi

msi=$(cached TAVRIN_MSI)
program="$build/installer/tavrin_msi/stage/tavrin.exe"
size=$(stat -c %s "$program")
if [ "$size" -gt "$limit" ]; then
  echo "release: tavrin.exe is $size bytes, more than $limit" >&2
  exit 1
fi

rm -rf "$dist" && mkdir -p "$dist"
if [ "$test_signing" = yes ]; then
  package=$(basename "$msi" .msi)-TEST.msi
  warning="release: TEST release, it cannot be shipped: signed by a test root that no Windows machine trusts, without a timestamp, and its update mode starts only updaters signed by that test root's signer ($signer)"
  echo "$warning" >"$dist/NOT-FOR-SHIPPING.txt"
else
  package=$(basename "$msi")
  warning=
fi
cp "$msi" "$dist/$package"
cp "$build/bin/tavrin.exe.debug" "$dist/"
# The Group Policy template and its English texts, laid out as the central
# store of a domain holds them.
mkdir -p "$dist/policy/en-US"
cp "$top/installer/policy/tavrin.admx" "$dist/policy/"
cp "$top/installer/policy/en-US/tavrin.adml" "$dist/policy/en-US/"
(cd "$dist" && sha256sum -- "$package" tavrin.exe.debug policy/tavrin.admx policy/en-US/tavrin.adml >SHA256SUMS)
echo "release: tavrin.exe $size bytes; $dist:"
cat "$dist/SHA256SUMS"
[ -z "$warning" ] || echo "$warning"
