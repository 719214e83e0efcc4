# Sourced by the build scripts: compile through ccache, so a second build of the same sources (another
# clone, the sanitizer builds again) takes minutes less. Paths below the source folder are made relative and
# the build folder is left out of the key, so clones in other folders share the cache (their debug
# information then names the folder of the first build).
compiler_cache=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR=1
  compiler_cache=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
