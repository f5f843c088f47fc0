#!/usr/bin/env bash
# Installs what is missing, builds the viewer (Release) and starts it on the bundled samples.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALDER_BUILD_TESTS=OFF >/dev/null
cmake --build build-release
exec ./build-release/kalder "${@:-samples/}"
