#!/usr/bin/env bash
# Installs the Debian packages Kalder needs to build, run and test, but only those that are missing.
# Quiet when everything is already there. Needs root (or sudo) only when something must be installed.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ pkg-config ccache clang clang-format lld
  # mail over TLS
  libgnutls28-dev
  # scanners
  libsane-dev
  # codecs and colour
  libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev zlib1g-dev libtiff-dev libopenjp2-7-dev liblcms2-dev
  libwebp-dev libheif-dev libavif-dev libjxl-dev
  # metafile playback and its default font
  libcairo2-dev fonts-dejavu-core
  # text overlays of the batch convertor
  libpango1.0-dev
  # GUI
  qt6-base-dev libxcb1-dev
  # translations: lupdate/lrelease and their CMake package
  qt6-l10n-tools qt6-tools-dev
  # GUI run time: the desktop icon theme, and the SVG icon engine its icons need
  adwaita-icon-theme libqt6svg6
  # tests and benchmarks
  libgtest-dev libbenchmark-dev python3-pil imagemagick libjpeg-turbo-progs netpbm libtiff-tools libopenjp2-tools
  webp libheif-examples libavif-bin libjxl-tools
  icoutils
  xvfb xauth dbus
  # the accessibility check reads the running window over a private AT-SPI bus
  at-spi2-core python3-gi gir1.2-atspi-2.0
  # scanner tests (the SANE test backend), wallpaper and clipboard tests
  sane-utils libglib2.0-bin gsettings-desktop-schemas xclip
  # association tests: xdg-mime reads our defaults back, desktop-file-validate checks our entry
  xdg-utils desktop-file-utils
  # packaging checks: the metainfo validator, dpkg-shlibdeps for the .deb, the icon renderer
  appstream dpkg-dev librsvg2-bin
  # mail tests: a loopback SMTP server and its self-signed certificates
  python3-aiosmtpd openssl
  # print tests: a local print server with a PDF queue, and PDF inspection
  cups cups-client printer-driver-cups-pdf poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
