# Sourced by the build scripts: adds the compiler cache, where there is one, to the CMake
# arguments in the array `extra`. Shared across work trees, so rebuilds there are cheap.
if command -v ccache >/dev/null; then
  extra+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}" CCACHE_NOHASHDIR=1
fi
