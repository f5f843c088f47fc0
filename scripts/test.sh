#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the full build (viewer included) and all unit and GUI tests;
#   2. one clang build of the core libraries under AddressSanitizer and UBSan that holds both
#      their tests and the fuzz targets: every fuzz target runs for a short, bounded time on its
#      seed corpus, then the tests run.
# Warnings fail the full build. Without clang, step 2 falls back to a gcc sanitizer build and
# skips the fuzz runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# Paths below the clone are hashed relative to it and the working directory not at all, so a
# clone in another folder (CI's) still hits the cache that an earlier one filled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
linker=()
if command -v ld.lld >/dev/null; then linker=(-DKALDER_LINKER=lld); fi

echo "== formatting"
bash scripts/format.sh --check

echo "== build and test"
# Release at -O2 without debug information: compiling and linking the debug information of the
# tests doubled the time of this build.
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALDER_WERROR=ON \
      "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
      "${linker[@]}" >/dev/null
cmake --build build-test -j "$jobs"
ctest --test-dir build-test -j "$jobs" --output-on-failure --timeout 300
bash scripts/check-package.sh build-test

echo "== core tests and fuzz targets under AddressSanitizer and UBSan"
# Warnings fail the full build above; clang's own warnings are not yet held to that here.
sanitize=(-DCMAKE_BUILD_TYPE=Debug -DKALDER_BUILD_GUI=OFF -DKALDER_SANITIZE=ON)
fuzz=0
if command -v clang++ >/dev/null; then
    # The fuzz targets' coverage instrumentation costs the tests little; one build serves both.
    sanitize+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKALDER_FUZZ=ON
               "-DCMAKE_C_FLAGS_DEBUG=-O1 -g1" "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1")
    fuzz=1
fi
cmake -S . -B build-asan -G Ninja "${sanitize[@]}" "${linker[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
if [ $fuzz -eq 1 ]; then
    bash fuzz/run-all.sh build-asan/fuzz "${KALDER_FUZZ_SECONDS:-10}" "$jobs"
fi
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
    ctest --test-dir build-asan -j "$jobs" --output-on-failure --timeout 600
