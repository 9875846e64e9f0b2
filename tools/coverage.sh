#!/usr/bin/env bash
# Line and branch coverage of the program, the CLI and the emulator (not of
# tests/ and bench/): a Debug build with --coverage in its own directory,
# every test run, and gcovr's summary. Extra arguments go to gcovr (for
# example --html-details build-coverage/coverage.html).
#
#   BUILD_DIR        build directory (default build-coverage)
#   COVERAGE_TESTS   a ctest -R regular expression: build and run only these
#                    tests (the figures then cover what they reach)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash tools/install-deps.sh
build=${BUILD_DIR:-build-coverage}
# The notes files keep the source paths as the compiler saw them; a cache
# that rewrites them relative to a base directory, or shares objects between
# directories, leaves gcovr unable to find the sources.
unset CCACHE_NOHASHDIR
export CCACHE_BASEDIR= CCACHE_HASHDIR=true
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DORVANE_WERROR=ON \
    -DCMAKE_C_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage

build_abs=$(cd "$build" && pwd)
filter=()
if [ -n "${COVERAGE_TESTS:-}" ]; then
    filter=(-R "$COVERAGE_TESTS")
    # Only the chosen tests and what they start; the rest stays unbuilt.
    mapfile -t targets < <(cd "$build" && ctest -N "${filter[@]}" | sed -n 's/^ *Test *#[0-9]*: //p')
    if [ ${#targets[@]} -eq 0 ]; then
        echo "coverage.sh: no test matches '$COVERAGE_TESTS'" >&2
        exit 2
    fi
    cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" orvane-emulator orvane-cli
else
    cmake --build "$build" -j"$(nproc)"
fi

# Counts of an earlier run would add to this one's.
find "$build" -name '*.gcda' -delete
status=0
(cd "$build" && ctest --output-on-failure -j"$(nproc)" "${filter[@]}") || status=$?

# Threads that count at once need atomic counters, or gcov reads back
# negative counts; a line it still cannot read is skipped with a warning.
# Sources compiled but never run count as uncovered: gcovr reads the notes
# files (.gcno) of every object, not only those that wrote counts.
gcovr --root "$root" --object-directory "$build_abs" \
    --exclude-directories '.*/CMakeFiles/[0-9][0-9.]*' \
    --exclude "$root/tests/" --exclude "$root/bench/" --exclude "$build_abs/" \
    --gcov-ignore-parse-errors --print-summary "$@" | tail -n 3
exit $status
