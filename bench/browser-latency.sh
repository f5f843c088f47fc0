#!/usr/bin/env bash
# The browser and viewer latencies in a real X window (Xvfb): a folder of photos opened in the
# browser, then Next File on prefetched images.
#   bench/browser-latency.sh BUILD_DIR [COUNT] [KIND]
# KIND is jpeg (default: 3000x2000 JPEGs, 500 of them), png (1500x1000 PNGs, no embedded
# thumbnails: the folder is visited twice, the second time with the first visit's shared
# thumbnail cache) or heic (2000x1500 HEICs carrying a 320-pixel thumbnail, as phones write
# them; made with heif-enc). Every run has a private, empty $XDG_CACHE_HOME unless it is the
# second visit. BUILD_DIR must be configured with -DKALDER_BUILD_BENCH=ON (the GUI on). The
# photos are made once with Pillow into $KALDER_BENCH_PHOTOS (default
# /tmp/kalder-bench-photos-KIND-COUNT).
set -euo pipefail
build=${1:?usage: browser-latency.sh BUILD_DIR [COUNT] [jpeg|png|heic]}
count=${2:-500}
kind=${3:-jpeg}
case $kind in jpeg | png | heic) ;; *) echo "unknown kind $kind" >&2; exit 2 ;; esac
[ "$kind" != heic ] || command -v heif-enc >/dev/null || { echo "needs heif-enc" >&2; exit 2; }
photos=${KALDER_BENCH_PHOTOS:-/tmp/kalder-bench-photos-$kind-$count}
if [ ! -f "$photos/.complete" ]; then
    mkdir -p "$photos"
    /usr/bin/python3 - "$photos" "$count" "$kind" <<'PY'
import os, random, shutil, subprocess, sys
from PIL import Image, ImageDraw, ImageFilter
out, count, kind = sys.argv[1], int(sys.argv[2]), sys.argv[3]
size = {"jpeg": (3000, 2000), "png": (1500, 1000), "heic": (2000, 1500)}[kind]
random.seed(7)
# A few distinct photo-like bases (gradients, shapes and noise); each file is one of them
# shifted and tinted, so the files differ and compress like photographs.
bases = []
for b in range(8):
    shapes = Image.linear_gradient("L").resize(size).convert("RGB")
    d = ImageDraw.Draw(shapes)
    for _ in range(60):
        x, y = random.randrange(size[0]), random.randrange(size[1])
        r = random.randrange(size[0] // 60, size[0] // 5)
        d.ellipse((x - r, y - r, x + r, y + r), fill=tuple(random.randrange(256) for _ in range(3)))
    noise = Image.merge("RGB", [Image.effect_noise(size, 60 + 5 * b) for _ in range(3)])
    bases.append(Image.blend(shapes.filter(ImageFilter.GaussianBlur(4)), noise, 0.3))
if kind == "heic":
    # Encoding is slow; the eight pictures (and their upside-down twins) are copied around.
    made = []
    for i in range(16):
        png = f"{out}/base{i}.png"
        bases[i % 8].rotate(180 if i >= 8 else 0).save(png, compress_level=1)
        heic = f"{out}/base{i}.heic.tmp"
        subprocess.run(["heif-enc", "-q", "60", "-t", "320", png, "-o", heic], check=True,
                       stdout=subprocess.DEVNULL)
        os.remove(png)
        made.append(heic)
    for i in range(count):
        shutil.copyfile(made[i % 16], f"{out}/photo{i:04d}.heic")
    for m in made:
        os.remove(m)
else:
    for i in range(count):
        im = bases[i % len(bases)].rotate(180 if i % 2 else 0)
        if kind == "png":
            im.save(f"{out}/photo{i:04d}.png", compress_level=6)
        else:
            im.save(f"{out}/photo{i:04d}.jpg", quality=90)
PY
    touch "$photos/.complete"
fi
cache=$(mktemp -d /tmp/kalder-bench-cache.XXXXXX)
trap 'rm -rf "$cache"' EXIT
run() { XDG_CACHE_HOME=$cache xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bench/browser_latency" "$photos" 10; }
if [ "$kind" = png ]; then
    echo "== first visit (empty thumbnail cache)"
    run
    echo "== second visit (thumbnails from the shared cache)"
fi
run
