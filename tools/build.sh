#!/usr/bin/env bash
# Configures and builds both trees:
#   build/i686    the shipped 32-bit tavrin.exe
#   build/x86_64  the same sources as 64-bit, with the tests and benchmarks
# Extra arguments are passed to every cmake configure (e.g. -DTAVRIN_UPDATE_HOST=...).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
builds=${TAVRIN_BUILD_ROOT:-$top/build}
targets=${TAVRIN_TARGETS:-"i686 x86_64"}
# Compiled objects are kept per machine by ccache (TAVRIN_CCACHE_DIR,
# /var/cache/tavrin-ccache by default), with paths taken relative to the
# clone, so that the next clone compiles only what changed.
launcher=()
cache=${TAVRIN_CCACHE_DIR:-/var/cache/tavrin-ccache}
if command -v ccache >/dev/null && mkdir -p "$cache" 2>/dev/null && [ -w "$cache" ]; then
  export CCACHE_DIR=$cache CCACHE_BASEDIR=$top CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
for arch in $targets; do
  dir="$builds/$arch"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$top" -B "$dir" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$arch-w64-mingw32.cmake" "${launcher[@]}" "$@"
  elif [ $# -gt 0 ]; then
    cmake "$dir" "$@"
  fi
  cmake --build "$dir"
done
