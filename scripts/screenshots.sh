#!/bin/bash
# Remakes docs/screenshots/ from samples/ under a private X server: the browser, the details
# view, the viewer with its image information line, and the browser in a dark theme.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default build-test; needs Xvfb, openbox, xdotool,
# ImageMagick's import and adwaita-qt6 for the dark style)
set -eu
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
KALDER="$(cd "${1:-$ROOT/build-test}" && pwd)/kalder"
OUT="$ROOT/docs/screenshots"
WORK="$(mktemp -d)"
# A writable build folder keeps the options beside the executable: the run's own are put back.
CFG="$(dirname "$KALDER")/Kalder.cfg"
[ -e "$CFG" ] && cp -p "$CFG" "$WORK/Kalder.cfg.saved"
restore() {
  kill $(jobs -p) 2>/dev/null || true
  if [ -e "$WORK/Kalder.cfg.saved" ]; then mv "$WORK/Kalder.cfg.saved" "$CFG"; else rm -f "$CFG"; fi
  rm -rf "$WORK"
}
trap restore EXIT
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_CACHE_HOME="$WORK/home/.cache"
mkdir -p "$HOME"
exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$WORK/display")" QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
openbox >/dev/null 2>&1 &

# Waits until the window has been drawn, then a little more for the thumbnails.
run() {
  "$KALDER" "$@" >/dev/null 2>&1 &
  xdotool search --sync --onlyvisible --class kalder >/dev/null
  sleep 2
}
quit() { xdotool key --clearmodifiers Escape; sleep 0.5; pkill -f "$KALDER" || true; sleep 0.5; }
shoot() { import -window root "$OUT/$1.png"; }

# First start: the question is answered No, and the saved settings keep it from coming back.
run "$ROOT/samples"; xdotool key --clearmodifiers alt+n; sleep 1; quit
run "$ROOT/samples"; shoot browser; quit
# A dark desktop theme, as a GNOME user gets it in Qt programs: every surface we draw follows it.
run -style Adwaita-Dark "$ROOT/samples"; shoot dark; quit
run "$ROOT/samples"
# File > Details View: the fifteenth item that can be chosen.
xdotool key --clearmodifiers alt+f; sleep 0.5
xdotool key --delay 50 Down Down Down Down Down Down Down Down Down Down Down Down Down Down Return
sleep 1; shoot details; quit
# The viewer with its information line over the picture (View > Image Information).
sed -i 's/^\(.*ImageInfoOverlay.*\)0$/\11/' "$XDG_CONFIG_HOME/kalder/kalder.conf"
run "$ROOT/samples/hills.jpg"; shoot viewer; quit
echo "screenshots in $OUT"
