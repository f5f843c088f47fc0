#!/usr/bin/env bash
# The batch convertor's speed in the window and on the command line, on 21 photos (4000x3000
# JPEGs made once by the timing program into $KALDER_BENCH_PHOTOS, default
# /tmp/kalder-bench-batch), converted to JPEG:
#   1. batch_convert_timing: the window's run against the bare engine, rounds interleaved,
#      wall and CPU time of each, with the ratio of the medians;
#   2. kalder-cli convert on the same files, the same number of times, for the absolute figure.
#   bench/batch-convert.sh BUILD_DIR [ROUNDS]
# BUILD_DIR must be configured with -DKALDER_BUILD_BENCH=ON (the GUI on) and have built the
# targets batch_convert_timing and kalder-cli.
set -euo pipefail
build=${1:?usage: batch-convert.sh BUILD_DIR [ROUNDS]}
rounds=${2:-3}
photos=${KALDER_BENCH_PHOTOS:-/tmp/kalder-bench-batch}
export XDG_CONFIG_HOME=${XDG_CONFIG_HOME_BENCH:-$(mktemp -d)}
# A real X server, so the window and the panel are mapped and painted as on a desktop.
if [[ -z ${DISPLAY:-} ]] && command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1600x1000x24" "$build/bench/batch_convert_timing" "$photos" "$rounds"
else
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/batch_convert_timing" "$photos" \
        "$rounds"
fi
out=$(mktemp -d)
TIMEFORMAT='kalder-cli convert: wall %R s  cpu %U+%S s'
for ((i = 0; i < rounds; i++)); do
    rm -rf "$out"/*
    time "$build/kalder-cli" convert "$photos"/*.jpg -o "$out" --format jpg
done
rm -rf "$out"
