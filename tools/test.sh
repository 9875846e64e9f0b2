#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#
#   tools/test.sh [--build | --test] [CMake arguments]
#
# --build stops after the build, --test runs the tests of a finished build;
# without either it does both. BUILD_DIR chooses the build directory.
set -euo pipefail
cd "$(dirname "$0")/.."

build_step=1 test_step=1
case "${1:-}" in
--build) test_step=0; shift ;;
--test) build_step=0; shift ;;
esac
build=${BUILD_DIR:-build}

if [ $build_step -eq 1 ]; then
    bash tools/install-deps.sh
    # Paths inside the tree hash relative to it, so a clone elsewhere reuses the cache.
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=true
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_WERROR=ON "$@"
    cmake --build "$build" -j"$(nproc)"
fi
if [ $test_step -eq 1 ]; then
    cd "$build"
    # Most tests spend their time waiting on a network time-out or a stream's
    # pace, not on the processor, so they run more at once than there are cores.
    ctest --output-on-failure -j"${TEST_JOBS:-$(($(nproc) * 2))}"
fi
