# Sourced by the build scripts: compiled objects are kept per machine by
# ccache (TAVRIN_CCACHE_DIR, /var/cache/tavrin-ccache by default), with paths
# taken relative to the clone, so that the next clone compiles only what
# changed. Sets ccache_launcher to the CMake options that use it (empty when
# ccache or a writable cache is missing). Needs $top.
ccache_launcher=()
ccache_dir=${TAVRIN_CCACHE_DIR:-/var/cache/tavrin-ccache}
if command -v ccache >/dev/null && mkdir -p "$ccache_dir" 2>/dev/null && [ -w "$ccache_dir" ]; then
  export CCACHE_DIR=$ccache_dir CCACHE_BASEDIR=$top CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}
  ccache_launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
