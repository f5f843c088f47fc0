#!/usr/bin/env bash
# Rebuilds companion.exe, the smallest Windows executable with a version resource naming the
# companion product (needs binutils-mingw-w64-x86-64; the result is committed, so tests do not).
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-windres --preprocessor=cpp ver.rc -O coff -o "$work/ver.o"
x86_64-w64-mingw32-as start.s -o "$work/start.o"
x86_64-w64-mingw32-ld -e start --subsystem windows -o companion.exe "$work/start.o" "$work/ver.o"
