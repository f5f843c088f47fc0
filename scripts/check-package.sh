#!/usr/bin/env bash
# Checks that BUILD_DIR (an existing build, all targets built) installs and packages cleanly:
#   1. scripts/check-install.sh: a moved `cmake --install` tree works and holds no build path;
#   2. as root only: `cpack -G DEB` makes kalder_<version>_<arch>.deb, apt installs it, the
#      installed kalder-cli decodes WebP and TIFF from /usr/bin, nothing is written into /usr/bin,
#      and the package is purged again.
# Usage: scripts/check-package.sh BUILD_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "check-package: $*" >&2; exit 1; }

bash "$src/scripts/check-install.sh" "$build"

if [ "$(id -u)" -ne 0 ]; then
    echo "check-package: not root, so the Debian package is not built, installed or removed (skipped)"
    exit 0
fi
if dpkg-query -W -f='${Status}' kalder 2>/dev/null | grep -q 'install ok installed'; then
    echo "check-package: a kalder package is installed already; leaving it alone (skipped)"
    exit 0
fi

work=$(mktemp -d)
installed=0
cleanup() {
    [ "$installed" -eq 1 ] && DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kalder >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$work"/kalder_*_*.deb)
echo "check-package: built $(basename "$deb")"
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -f "$deb" Depends | grep -q "libsane" && fail "the package depends on libsane; it should only recommend it"
# The listing goes to a file first: grep -q stops reading early, which pipefail would count.
dpkg-deb -c "$deb" >"$work/contents"
grep -q "/usr/lib/.*kalder/libkalder-cdx.so" "$work/contents" || fail "no codec module in the package"

ls -A /usr/bin >"$work/bin-before"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
installed=1

[ "$(command -v kalder-cli)" = /usr/bin/kalder-cli ] || fail "kalder-cli is not in /usr/bin"
/usr/bin/kalder-cli --version | grep -qxF "kalder-cli $version" || fail "kalder-cli --version is not $version"
sample="$src/samples/fractal.png"
cd "$work"
/usr/bin/kalder-cli decode "$sample" -o x.tif
/usr/bin/kalder-cli decode x.tif -o tif.pam
if command -v cwebp >/dev/null; then
    cwebp -quiet "$sample" -o x.webp
    /usr/bin/kalder-cli decode x.webp -o webp.pam
fi
/usr/bin/kalder-cli thumb x.tif --size 64 -o thumb
if [ -x /usr/bin/kalder ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/kalder --version | grep -qxF "kalder $version" ||
        fail "kalder --version without a display"
fi

ls -A /usr/bin | grep -vx -e kalder -e kalder-cli >"$work/bin-after" || true
diff "$work/bin-before" "$work/bin-after" || fail "something was written into /usr/bin"
echo "check-package: the installed package works; purging it"
