#!/usr/bin/env bash
# Installs the toolchain and builds the third-party libraries for both MinGW
# targets into .deps/ (git-ignored). Safe to run again: every step checks
# whether its result already exists.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine64 xvfb xauth cmake ninja-build dpkg-dev googletest
  fonts-dejavu-core fonts-wine osslsigncode openssl python3 python3-pil
  clang-format x11-apps msitools wixl gcc libc6-dev libssl-dev
  qemu-system-x86 debootstrap ccache nlohmann-json3-dev
)

need_install=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need_install+=("$p")
done

src_list=/etc/apt/sources.list.d/tavrin-deb-src.sources
if [ ! -f "$src_list" ]; then
  # Source packages come from the same mirrors the machine already uses.
  base=/etc/apt/sources.list.d/debian.sources
  if [ -f "$base" ]; then
    sed -e 's/^Types:.*/Types: deb-src/' "$base" > "$src_list"
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' > /etc/apt/sources.list.d/tavrin-deb-src.list
    src_list=/etc/apt/sources.list.d/tavrin-deb-src.list
  fi
  apt_updated=no
fi

if [ ${#need_install[@]} -gt 0 ] || [ "${apt_updated:-yes}" = no ]; then
  export DEBIAN_FRONTEND=noninteractive
  # A mirror in the middle of a sync serves index files that do not match
  # their Release file; it settles within minutes. What the last try could
  # not fetch is then left to the install, which fails if it needs it.
  for pause in 0 20 40 80; do
    sleep "$pause"
    apt-get update -q -o Acquire::Retries=3 && break
    echo "setup: the package index could not be fetched completely; trying again" >&2
  done
  [ ${#need_install[@]} -gt 0 ] && apt-get install -y -q --no-install-recommends "${need_install[@]}"
fi

# The libraries are built once per machine into a cache outside the clone
# (TAVRIN_DEPS_CACHE, /var/cache/tavrin-deps by default), keyed by this
# script and the compilers, and a new clone's .deps links to it. Without a
# writable cache they are built into the clone.
cache_root=${TAVRIN_DEPS_CACHE:-/var/cache/tavrin-deps}
if [ ! -e "$deps" ] && [ ! -L "$deps" ] && mkdir -p "$cache_root" 2>/dev/null && [ -w "$cache_root" ]; then
  key=$( (cat "$0"; i686-w64-mingw32-g++-posix --version; x86_64-w64-mingw32-g++-posix --version) |
    sha256sum | cut -c1-16)
  mkdir -p "$cache_root/$key"
  ln -s "$cache_root/$key" "$deps"
fi
mkdir -p "$deps"
# Two setups sharing the cache build one after the other.
exec 8>"$deps/.lock"
flock 8

fetch_source() { # package, marker glob
  local pkg=$1
  mkdir -p "$deps/src"
  if ! ls "$deps/src/$2" >/dev/null 2>&1; then
    (cd "$deps/src" && apt-get source --download-only "$pkg")
  fi
}

# --- Boost headers and Boost.Serialization -------------------------------
boost_inc="$deps/boost/include"
if [ ! -f "$boost_inc/boost/serialization/list.hpp" ]; then
  fetch_source boost1.74 'boost1.74_*.orig.tar.*'
  rm -rf "$deps/boost" && mkdir -p "$boost_inc" "$deps/boost/src"
  tarball=$(ls "$deps"/src/boost1.74_*.orig.tar.* | head -n1)
  # The +ds1 tarball keeps each library's headers under libs/<name>/include;
  # merge them into one include folder. The marker file comes last, so an
  # interrupted extraction is done again.
  tar -xf "$tarball" -C "$boost_inc" --wildcards --strip-components=0 \
    --transform='s,^[^/]*/libs/numeric/[^/]*/include/,,;s,^[^/]*/libs/[^/]*/include/,,' \
    --exclude='*/boost/serialization/list.hpp' '*/libs/*/include/boost/*'
  tar -xf "$tarball" -C "$deps/boost/src" --wildcards --strip-components=1 '*/libs/serialization/src/*' '*/libs/serialization/build/Jamfile.v2'
  tar -xf "$tarball" -C "$boost_inc" --wildcards --strip-components=0 \
    --transform='s,^[^/]*/libs/[^/]*/include/,,' '*/libs/serialization/include/boost/serialization/list.hpp'
fi
for triple in i686-w64-mingw32 x86_64-w64-mingw32; do
  lib="$deps/$triple/lib/libboost_serialization.a"
  [ -f "$lib" ] && continue
  mkdir -p "$deps/$triple/lib" "$deps/$triple/obj/boost"
  srcs=$(sed -n '/^SOURCES/,/;/p' "$deps/boost/src/libs/serialization/build/Jamfile.v2" | grep -oE '^\s+[a-z_0-9]+' | tr -d ' \t' | grep -v '^w')
  objs=()
  for s in $srcs; do
    "$triple-g++-posix" -std=c++17 -O2 -ftemplate-depth-255 -I"$boost_inc" \
      -c "$deps/boost/src/libs/serialization/src/$s.cpp" -o "$deps/$triple/obj/boost/$s.o" &
    objs+=("$deps/$triple/obj/boost/$s.o")
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n; done
  done
  wait
  rm -f "$lib.tmp" && "$triple-ar" rcs "$lib.tmp" "${objs[@]}" && mv "$lib.tmp" "$lib"
done

# --- pugixml (wide characters, XPath on by default) ----------------------
pugi="$deps/pugixml"
if [ ! -f "$pugi/src/pugixml.cpp" ]; then
  fetch_source pugixml 'pugixml_*.orig.tar.*'
  rm -rf "$pugi" && mkdir -p "$pugi"
  tar -xf "$(ls "$deps"/src/pugixml_*.orig.tar.* | head -n1)" -C "$pugi" --strip-components=1
fi
for triple in i686-w64-mingw32 x86_64-w64-mingw32; do
  lib="$deps/$triple/lib/libpugixml.a"
  [ -f "$lib" ] && continue
  mkdir -p "$deps/$triple/lib" "$deps/$triple/obj"
  "$triple-g++-posix" -std=c++17 -O2 -DPUGIXML_WCHAR_MODE -c "$pugi/src/pugixml.cpp" -o "$deps/$triple/obj/pugixml.o"
  rm -f "$lib.tmp" && "$triple-ar" rcs "$lib.tmp" "$deps/$triple/obj/pugixml.o" && mv "$lib.tmp" "$lib"
done

echo "setup: toolchain and dependencies ready in $deps"
