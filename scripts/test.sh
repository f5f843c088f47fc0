#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the full build (viewer included) and all unit and GUI tests;
#   2. the core libraries and their tests again under AddressSanitizer and UBSan;
#   3. every fuzz target for a short, bounded time on its seed corpus (when clang is present).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"

echo "== formatting"
bash scripts/format.sh --check

echo "== build and test"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-test -j "$jobs"
ctest --test-dir build-test -j "$jobs" --output-on-failure --timeout 300
bash scripts/check-package.sh build-test

echo "== core tests under AddressSanitizer and UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALDER_BUILD_GUI=OFF \
      -DKALDER_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
    ctest --test-dir build-asan -j "$jobs" --output-on-failure --timeout 600

if command -v clang++ >/dev/null; then
    echo "== fuzz targets (short runs)"
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALDER_BUILD_GUI=OFF \
          -DKALDER_BUILD_TESTS=OFF -DKALDER_FUZZ=ON \
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build build-fuzz -j "$jobs"
    bash fuzz/run-all.sh build-fuzz/fuzz "${KALDER_FUZZ_SECONDS:-10}"
fi
echo "== all tests passed"
