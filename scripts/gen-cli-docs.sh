#!/usr/bin/env bash
# Rewrites data/man/kalder-cli.1 and data/completion/kalder-cli from kalder-cli's own help texts
# (each verb's entry in src/cli/, listed in cli_verbs.cpp). Run after changing a command's options
# and commit the result; the cli tests fail while the committed files differ.
#   scripts/gen-cli-docs.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" -j2 --target kalder-cli-docs >/dev/null
mkdir -p data/man data/completion
"$build"/src/cli/kalder-cli-docs man >data/man/kalder-cli.1.new
mv data/man/kalder-cli.1.new data/man/kalder-cli.1
"$build"/src/cli/kalder-cli-docs completion >data/completion/kalder-cli.new
mv data/completion/kalder-cli.new data/completion/kalder-cli
echo "gen-cli-docs: data/man/kalder-cli.1 and data/completion/kalder-cli written"
