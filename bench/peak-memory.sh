#!/usr/bin/env bash
# Peak resident memory of a full and a fitted decode of a 6000x4000 24-bit BMP through kalder-cli.
# The fitted decode holds the file buffer, at most two source rows and the target bitmap.
set -euo pipefail
cli=${1:-build/kalder-cli}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work/big.bmp" <<'PY'
import struct, sys
w, h = 6000, 4000
stride = (w * 3 + 3) & ~3
with open(sys.argv[1], "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 54 + stride * h, 0, 0, 54))
    f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, stride * h, 2835, 2835, 0, 0))
    row = bytes((x * 7) & 255 for x in range(stride))
    for _ in range(h):
        f.write(row)
PY
for args in "" "--fit 1920x1080"; do
    /usr/bin/time -f "%M KiB peak, %e s  decode $args" "$cli" decode "$work/big.bmp" $args -o "$work/out.pam"
done
