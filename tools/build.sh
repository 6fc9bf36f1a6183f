#!/usr/bin/env bash
# Configures and builds both trees:
#   build/i686    the shipped 32-bit tavrin.exe
#   build/x86_64  the same sources as 64-bit, with the tests and benchmarks
# Extra arguments are passed to every cmake configure (e.g. -DTAVRIN_UPDATE_HOST=...).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
builds=${TAVRIN_BUILD_ROOT:-$top/build}
targets=${TAVRIN_TARGETS:-"i686 x86_64"}
source "$top/tools/ccache.sh"
for arch in $targets; do
  dir="$builds/$arch"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$top" -B "$dir" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$arch-w64-mingw32.cmake" "${ccache_launcher[@]}" "$@"
  elif [ $# -gt 0 ]; then
    cmake "$dir" "$@"
  fi
  cmake --build "$dir"
done
