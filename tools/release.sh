#!/usr/bin/env bash
# Builds what a Windows user receives, into dist/:
#   tavrin-<version>-x86.msi   the signed installer of the signed, stripped
#                              32-bit program
#   tavrin.exe.debug           the program's debug symbols, for crash analysis
#   SHA256SUMS                 the SHA-256 of both
# Extra arguments go to the cmake configure, for example the endpoint hosts
# and the certificate:
#   tools/release.sh -DTAVRIN_STATS_HOST=stats.example.com -DTAVRIN_UPDATE_HOST=update.example.com \
#     -DTAVRIN_SIGN_PKCS12=/secure/orvane.pfx -DTAVRIN_SIGN_PASSWORD_FILE=/secure/pass
# The TAVRIN_SIGN_* settings may also come from the environment (see
# installer/sign.sh). Without a certificate the release is signed by a test
# root made in the build tree (build/release/installer/test-signing).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup.sh"

build="${TAVRIN_BUILD_ROOT:-$top/build}/release"
dist="$top/dist"
limit=$((2 * 1024 * 1024))

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTAVRIN_TESTS=OFF "$@"
elif [ $# -gt 0 ]; then
  cmake "$build" "$@"
fi
cmake --build "$build" --target tavrin_msi

msi=$(sed -n 's/^TAVRIN_MSI:INTERNAL=//p' "$build/CMakeCache.txt")
program="$build/installer/tavrin_msi/stage/tavrin.exe"
size=$(stat -c %s "$program")
if [ "$size" -gt "$limit" ]; then
  echo "release: tavrin.exe is $size bytes, more than $limit" >&2
  exit 1
fi

rm -rf "$dist" && mkdir -p "$dist"
cp "$msi" "$build/bin/tavrin.exe.debug" "$dist/"
(cd "$dist" && sha256sum -- * >SHA256SUMS)
echo "release: tavrin.exe $size bytes; $dist:"
cat "$dist/SHA256SUMS"
