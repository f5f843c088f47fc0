#!/usr/bin/env bash
# Runs every fuzz target in DIR for SECONDS each, seeded from tests/data, samples/ and, when present, the
# shared public test images. Fails when any target finds a crash, leak or timeout. JOBS targets run
# at once (default: one per core; each fuzzer is single-threaded).
# The mutations follow KALDER_FUZZ_SEED (default 1), so that a short run in CI takes the same path
# each time and a failure there can be run again; 0 draws a new seed each run, for longer searches.
set -euo pipefail
dir=$1
seconds=${2:-10}
jobs=${3:-$(nproc)}
fuzz_seed=${KALDER_FUZZ_SEED:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
external="$root/../shared/testdata/external"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seed folders by target name: files whose extension suits the target.
seeds_for() {
    case "$1" in
        bmp_reader_fuzzer) echo "bmp dib" ;;
        gif_reader_fuzzer) echo "gif" ;;
        jpeg_reader_fuzzer|jpeg_dc_scan_fuzzer|exif_fuzzer) echo "jpg jpeg" ;;
        png_reader_fuzzer|thumbnail_png_text_fuzzer) echo "png" ;;
        icon_reader_fuzzer) echo "ico cur" ;;
        ani_reader_fuzzer) echo "ani" ;;
        tga_reader_fuzzer) echo "tga" ;;
        pcx_reader_fuzzer) echo "pcx" ;;
        pnm_reader_fuzzer) echo "pbm pgm ppm pnm pam" ;;
        sun_raster_reader_fuzzer) echo "ras sun im1 im8 im24 im32" ;;
        sgi_reader_fuzzer) echo "sgi rgb bw rgba" ;;
        utah_rle_reader_fuzzer) echo "rle" ;;
        iff_reader_fuzzer) echo "iff lbm ilbm" ;;
        psd_reader_fuzzer) echo "psd" ;;
        settings_fuzzer) echo "cfg" ;;
        desktop_entry_fuzzer) echo "desktop" ;;
        mimeapps_list_fuzzer) echo "list" ;;
        pe_version_fuzzer) echo "exe dll" ;;
        tiff_reader_fuzzer) echo "tif tiff" ;;
        jpeg2000_reader_fuzzer|jp2_box_fuzzer) echo "jp2 j2k jpc jpf j2c" ;;
        metafile_reader_fuzzer) echo "wmf emf apm" ;;
        webp_reader_fuzzer) echo "webp" ;;
        heif_reader_fuzzer) echo "heic heif hif avif" ;;
        avif_reader_fuzzer) echo "avif avifs" ;;
        jxl_reader_fuzzer) echo "jxl" ;;
        smtp_reply_fuzzer) echo "" ;;  # its own seeds in fuzz/corpus
        *) echo "bmp gif png jpg" ;;
    esac
}

# Known leaks inside system libraries are the same for the fuzzers as for the tests.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# One target: gathers its seeds, runs it, and prints its summary (with the log's tail on failure)
# in one piece, so parallel runs do not interleave.
run_one() {
    local target=$1 name corpus
    name=$(basename "$target")
    corpus="$work/$name"
    mkdir -p "$corpus"
    for ext in $(seeds_for "$name"); do
        for base in "$root/tests/data" "$root/samples" "$external"; do
            [ -d "$base" ] || continue
            find "$base" -type f -iname "*.$ext" -size -256k -print0 2>/dev/null |
                xargs -0 -r cp -t "$corpus" 2>/dev/null || true
        done
    done
    if [ -d "$root/fuzz/corpus/$name" ]; then cp -r "$root/fuzz/corpus/$name/." "$corpus/"; fi
    local summary
    summary="-- $name ($(ls "$corpus" | wc -l) seeds, ${seconds}s)"
    # A hang stops the run; a tiny file that legitimately unfolds into a picture of tens of
    # megapixels may take several seconds under the sanitizers, and is not one.
    if ! "$target" -seed="$fuzz_seed" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=1024 -malloc_limit_mb=512 -max_len=262144 \
            -print_final_stats=0 "$corpus" >"$work/$name.log" 2>&1; then
        { echo "$summary: FAILED"; tail -n 40 "$work/$name.log"; } >"$work/$name.out"
        return 1
    fi
    echo "$summary" >"$work/$name.out"
}
export -f run_one seeds_for
export work root external seconds fuzz_seed

status=0
find "$dir" -maxdepth 1 -type f -name '*_fuzzer' -perm -u+x -print0 | sort -z |
    xargs -0 -r -n 1 -P "$jobs" bash -c 'run_one "$1"; r=$?; cat "$work/$(basename "$1").out"; exit $r' _ ||
    status=1
exit $status
