#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# Extra arguments go to CMake; BUILD_DIR chooses the build directory.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
build=${BUILD_DIR:-build}
# Paths inside the tree hash relative to it, so a clone elsewhere reuses the cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=true
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_WERROR=ON "$@"
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)"
