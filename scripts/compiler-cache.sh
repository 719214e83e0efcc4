# Sourced by the build scripts: compile through ccache, so a second build of the same sources (another
# clone, the sanitizer builds again) takes minutes less. Paths below the source folder are made relative,
# so clones in other folders share the cache.
compiler_cache=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  compiler_cache=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
