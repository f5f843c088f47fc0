#!/usr/bin/env bash
# The browser and viewer latencies in a real X window (Xvfb): a folder of photo-sized JPEGs
# (500 of 3000x2000 by default) opened in the browser, then Next File on prefetched images.
#   bench/browser-latency.sh BUILD_DIR [COUNT]
# BUILD_DIR must be configured with -DKALDER_BUILD_BENCH=ON (the GUI on). The photos are made
# once with Pillow into $KALDER_BENCH_PHOTOS (default /tmp/kalder-bench-photos-COUNT).
set -euo pipefail
build=${1:?usage: browser-latency.sh BUILD_DIR [COUNT]}
count=${2:-500}
photos=${KALDER_BENCH_PHOTOS:-/tmp/kalder-bench-photos-$count}
if [ ! -f "$photos/.complete" ]; then
    mkdir -p "$photos"
    /usr/bin/python3 - "$photos" "$count" <<'PY'
import sys, random
from PIL import Image, ImageDraw, ImageFilter
out, count = sys.argv[1], int(sys.argv[2])
random.seed(7)
# A few distinct photo-like bases (gradients, shapes and noise); each file is one of them
# shifted and tinted, so the files differ and compress like photographs (about 1-2 MB).
bases = []
for b in range(8):
    shapes = Image.linear_gradient("L").resize((3000, 2000)).convert("RGB")
    d = ImageDraw.Draw(shapes)
    for _ in range(60):
        x, y = random.randrange(3000), random.randrange(2000)
        r = random.randrange(50, 600)
        d.ellipse((x - r, y - r, x + r, y + r), fill=tuple(random.randrange(256) for _ in range(3)))
    noise = Image.merge("RGB", [Image.effect_noise((3000, 2000), 60 + 5 * b) for _ in range(3)])
    bases.append(Image.blend(shapes.filter(ImageFilter.GaussianBlur(4)), noise, 0.3))
for i in range(count):
    im = bases[i % len(bases)].rotate(180 if i % 2 else 0)
    im.save(f"{out}/photo{i:04d}.jpg", quality=90)
PY
    touch "$photos/.complete"
fi
exec xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bench/browser_latency" "$photos" 10
