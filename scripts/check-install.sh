#!/usr/bin/env bash
# Checks an installation made from BUILD_DIR as a packager would see it:
#   cmake --install into a DESTDIR, the tree moved elsewhere and the build folder hidden; the moved
#   kalder-cli must still decode TIFF, WebP, AVIF, HEIC and JPEG XL (its modules found beside it),
#   name a missing module, and contain no build path. The desktop files must validate.
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
hidden="$build.hidden-$$"
cleanup() {
    [ -d "$hidden" ] && mv "$hidden" "$build"
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-install: $*" >&2; exit 1; }
unset KALDER_CDX_PATH

# Stripped, as a package ships them: debug information names the build folder by design.
DESTDIR="$work/stage" cmake --install "$build" --prefix /opt/kalder --strip >/dev/null
mv "$work/stage/opt/kalder" "$work/moved"
root="$work/moved"
cli="$root/bin/kalder-cli"

# Inputs made with the libraries' own tools (absent tools skip their format).
sample="$src/samples/fractal.png"
mkdir "$work/in"
"$build/kalder-cli" decode "$sample" -o "$work/in/x.tif"
command -v cwebp >/dev/null && cwebp -quiet "$sample" -o "$work/in/x.webp"
command -v avifenc >/dev/null && avifenc "$sample" "$work/in/x.avif" >/dev/null
command -v heif-enc >/dev/null && heif-enc -q 60 "$sample" -o "$work/in/x.heic" >/dev/null
command -v cjxl >/dev/null && cjxl -q 90 "$sample" "$work/in/x.jxl" >/dev/null 2>&1

mv "$build" "$hidden"
for f in "$work"/in/*; do
    "$cli" decode "$f" -o "$work/out.pam" || fail "the moved kalder-cli cannot decode $(basename "$f")"
    echo "decoded $(basename "$f") with the moved installation"
done
"$cli" --version | grep -q "^kalder-cli [0-9]" || fail "kalder-cli --version"

# A missing module is named, with the folders searched.
if [ -e "$work/in/x.webp" ]; then
    mv "$root"/lib*/kalder/libkalder-cdx-webp.so "$work/"
    ! "$cli" decode "$work/in/x.webp" -o "$work/out.pam" 2>"$work/err" || fail "decoded WebP without its module"
    grep -q "WebP images need the module libkalder-cdx-webp.so, which was not found in" "$work/err" ||
        fail "unclear message for a missing module: $(cat "$work/err")"
    mv "$work/libkalder-cdx-webp.so" "$root"/lib*/kalder/
fi

# The viewer answers --version and --help without a display.
if [ -x "$root/bin/kalder" ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/kalder" --version |
        grep -q "^kalder [0-9]" || fail "kalder --version without a display"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/kalder" --help >/dev/null ||
        fail "kalder --help without a display"
fi
mv "$hidden" "$build"

# No installed file knows where it was built.
if grep -rlF "$build" "$root"; then fail "the files above contain the build folder $build"; fi
for f in "$root"/bin/* "$root"/lib*/kalder/*.so; do
    if strings "$f" | grep -qF "$src"; then fail "$f contains the source folder $src"; fi
done

share="$root/share"
for f in applications/org.kalder.Kalder.desktop metainfo/org.kalder.Kalder.metainfo.xml \
         icons/hicolor/scalable/apps/org.kalder.Kalder.svg thumbnailers/kalder.thumbnailer \
         mime/packages/kalder.xml man/man1/kalder.1 kalder/help/index.html; do
    [ -f "$share/$f" ] || fail "not installed: share/$f"
done
for size in 16 24 32 48 64 128 256 512; do
    [ -f "$share/icons/hicolor/${size}x${size}/apps/org.kalder.Kalder.png" ] || fail "no ${size}px icon"
done
desktop-file-validate "$share/applications/org.kalder.Kalder.desktop"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$share/metainfo/org.kalder.Kalder.metainfo.xml" >/dev/null ||
        fail "the metainfo does not validate"
fi
for page in "$share"/man/man1/*.1; do
    [ -z "$(LC_ALL=C.UTF-8 man --warnings -l -Tutf8 -Z "$page" 2>&1 >/dev/null)" ] || fail "warnings in $page"
done
echo "check-install: the moved installation works"
