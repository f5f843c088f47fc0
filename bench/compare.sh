#!/usr/bin/env bash
# bench/compare.sh [KALDER_CLI] -- our hot paths against the tools people use instead, in one run.
#
# Makes its own inputs (ImageMagick; cached in $WORK, default /tmp/kalder-bench-own), then times
# each workload with hyperfine (median of RUNS runs after one warm-up, whole-process wall time)
# for kalder-cli and for each peer that is installed, and prints ours / best peer.
# Needs: hyperfine, ImageMagick; optional peers: djpeg, vipsthumbnail/vips, tiffcp, opj_decompress.
# env: RUNS (3), WORK, ONLY="jpeg thumbs thumbs-cache gif raster tiff jp2 resize png-encode
#      gif-encode heic avif webp jxl"
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
K=${1:-$here/build-release/kalder-cli}
[ -x "$K" ] || K=$here/build/kalder-cli
[ -x "$K" ] || { echo "kalder-cli not found; build it first" >&2; exit 2; }
RUNS=${RUNS:-3}
W=${WORK:-/tmp/kalder-bench-own}
mkdir -p "$W/out" "$W/thumbs100" "$W/mix"
command -v hyperfine >/dev/null || { echo "needs hyperfine (apt-get install hyperfine)" >&2; exit 2; }
IM=convert
have() { command -v "$1" >/dev/null 2>&1; }
want() { [ -z "${ONLY:-}" ] || [[ " $ONLY " == *" $1 "* ]]; }

# ---- inputs ------------------------------------------------------------------------------
photo() {  # photo-like noise with edges: SIZE OUT [extra convert args]
    local size=$1 out=$2; shift 2
    [ -f "$out" ] || $IM -size "$size" plasma:fractal -seed 7 -blur 0x1 \
        \( -size "$size" xc: +noise Gaussian -colorspace gray \) -compose overlay -composite "$@" "$out"
}
photo 6000x4000 "$W/big.jpg" -quality 90
if [ ! -f "$W/thumbs100/099.jpg" ]; then
    photo 3000x2000 "$W/t.jpg" -quality 85
    for i in $(seq -w 0 99); do cp "$W/t.jpg" "$W/thumbs100/0$i.jpg"; done
    rm -f "$W/t.jpg"
fi
[ -f "$W/anim.gif" ] || $IM -size 480x360 $(for i in $(seq 1 100); do echo "plasma:fractal"; done) \
    -seed 3 -colors 200 -delay 4 "$W/anim.gif"
photo 2000x1500 "$W/mix/src.ppm"
for ext in bmp tga pcx ppm sgi ras psd; do
    [ -f "$W/mix/img.$ext" ] || $IM "$W/mix/src.ppm" "$W/mix/img.$ext"
done
photo 4000x3000 "$W/lzw.tif" -compress lzw
[ -f "$W/img.jp2" ] || $IM "$W/mix/src.ppm" "$W/img.jp2" 2>/dev/null || true
photo 4000x3000 "$W/big.ppm"

# ---- timing ------------------------------------------------------------------------------
rows=()
time_one() {  # LABEL COMMAND -> median seconds
    local json; json=$(mktemp)
    if hyperfine --style none --warmup 1 --runs "$RUNS" --export-json "$json" "$2" >/dev/null 2>&1; then
        python3 -c 'import json,sys; print("%.4f" % json.load(open(sys.argv[1]))["results"][0]["median"])' "$json"
    else
        echo "FAIL"
    fi
    rm -f "$json"
}
compare() {  # WORKLOAD OURS_CMD PEER_LABEL PEER_CMD [PEER_LABEL PEER_CMD ...]
    local wl=$1 ours=$2; shift 2
    local t_ours; t_ours=$(time_one kalder "$ours")
    local best="" best_label=""
    printf '%-11s %-40s %8s s\n' "$wl" "kalder-cli" "$t_ours"
    while [ $# -ge 2 ]; do
        local t; t=$(time_one "$1" "$2")
        printf '%-11s %-40s %8s s\n' "$wl" "$1" "$t"
        if [ "$t" != FAIL ] && { [ -z "$best" ] || python3 -c "import sys; sys.exit(0 if $t < $best else 1)"; }; then
            best=$t; best_label=$1
        fi
        shift 2
    done
    if [ -n "$best" ] && [ "$t_ours" != FAIL ]; then
        local ratio; ratio=$(python3 -c "print('%.2f' % ($t_ours / $best))")
        printf '%-11s %-40s %8s x\n\n' "$wl" "ours / best ($best_label)" "$ratio"
        rows+=("$wl	$ratio	$best_label")
    fi
}
N=$W/out/null.pam
ln -sf /dev/null "$N"

want jpeg && compare jpeg "'$K' decode '$W/big.jpg' -o '$N'" \
    "djpeg" "$(have djpeg && echo "djpeg -outfile /dev/null '$W/big.jpg'")" \
    "ImageMagick null:" "$IM '$W/big.jpg' null:"
want thumbs && compare thumbs "rm -rf '$W/out/t' && '$K' thumbs '$W/thumbs100' --size 120 -o '$W/out/t'" \
    "vipsthumbnail" "$(have vipsthumbnail && echo "rm -rf '$W/out/v' && mkdir -p '$W/out/v' && vipsthumbnail '$W'/thumbs100/*.jpg -s 120 -o '$W/out/v/%s.jpg'")"
want gif && compare gif "'$K' decode '$W/anim.gif' --all-pages -o '$N'" \
    "ImageMagick -coalesce" "$IM '$W/anim.gif' -coalesce null:"
if want raster; then
    for ext in bmp tga pcx ppm sgi ras psd; do
        compare "raster-$ext" "'$K' decode '$W/mix/img.$ext' -o '$N'" "ImageMagick null:" "$IM '$W/mix/img.$ext' null:"
    done
fi
want tiff && compare tiff "'$K' decode '$W/lzw.tif' -o '$N'" \
    "tiffcp -c none" "$(have tiffcp && echo "tiffcp -c none '$W/lzw.tif' '$W/out/raw.tif'")" \
    "ImageMagick null:" "$IM '$W/lzw.tif' null:"
[ -f "$W/img.jp2" ] && want jp2 && compare jp2 "'$K' decode '$W/img.jp2' -o '$N'" \
    "opj_decompress" "$(have opj_decompress && echo "opj_decompress -quiet -i '$W/img.jp2' -o '$W/out/o.ppm'")"
want resize && compare resize "'$K' decode '$W/big.jpg' --resample 1500x1000 --method lanczos -o '$W/out/r.bmp'" \
    "ImageMagick Lanczos (1 thread)" "$IM -limit thread 1 '$W/big.jpg' -filter Lanczos -resize 1500x1000 '$W/out/r2.bmp'" \
    "vips resize" "$(have vips && echo "vips resize '$W/big.jpg' '$W/out/r3.v' 0.25 --kernel lanczos3")"
want png-encode && compare png-encode "'$K' decode '$W/big.ppm' -o '$W/out/e.png'" \
    "ImageMagick level 9" "$IM '$W/big.ppm' -define png:compression-level=9 '$W/out/e2.png'"
want gif-encode && compare gif-encode "'$K' decode '$W/anim.gif' --all-pages -o '$W/out/e.gif'" \
    "ImageMagick" "$IM '$W/anim.gif' '$W/out/e2.gif'"

# A second visit to a folder: its thumbnails come from the shared cache (filled by the warm-up).
want thumbs-cache && compare thumbs-cache \
    "XDG_CACHE_HOME='$W/cache' '$K' thumbs '$W/thumbs100' --cache" \
    "vipsthumbnail" "$(have vipsthumbnail && echo "rm -rf '$W/out/v' && mkdir -p '$W/out/v' && vipsthumbnail '$W'/thumbs100/*.jpg -s 128 -o '$W/out/v/%s.jpg'")"

# 12 MP pictures in the formats phones and the web use, against each format's own decoder
# writing a file, as ours does.
modern() {  # WORKLOAD FILE ENCODE_CMD PEER_LABEL PEER_CMD
    [ -f "$2" ] || eval "$3" >/dev/null 2>&1 || return 0
    compare "$1" "'$K' decode '$2' -o '$W/out/m.pam'" "$4" "$5"
}
[ -f "$W/big.png" ] || $IM "$W/big.ppm" "$W/big.png"
want heic && have heif-enc && modern heic "$W/big.heic" "heif-enc -q 80 '$W/big.png' -o '$W/big.heic'" \
    "heif-convert" "heif-convert '$W/big.heic' '$W/out/h.png'"
want avif && have avifenc && modern avif "$W/big.avif" "avifenc -s 8 '$W/big.png' -o '$W/big.avif'" \
    "avifdec" "avifdec '$W/big.avif' '$W/out/a.png'"
want webp && have cwebp && modern webp "$W/big.webp" "cwebp -quiet -q 80 '$W/big.png' -o '$W/big.webp'" \
    "dwebp -pam" "dwebp -quiet '$W/big.webp' -pam -o '$W/out/w.pam'"
want jxl && have cjxl && modern jxl "$W/big.jxl" "cjxl -q 80 '$W/big.png' '$W/big.jxl'" \
    "djxl" "djxl '$W/big.jxl' '$W/out/j.ppm'"

echo "summary (ours / best peer; below 1 is faster):"
printf '%s\n' "${rows[@]}"
