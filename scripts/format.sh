#!/usr/bin/env bash
# Formats every C and C++ source of the project with the committed .clang-format.
#   scripts/format.sh           rewrite the files in place
#   scripts/format.sh --check   list the files that differ and fail when there are any
set -euo pipefail
cd "$(dirname "$0")/.."
cf=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$cf" ]; then
    echo "format: clang-format is not installed" >&2
    exit 1
fi
mapfile -t files < <(git ls-files -- '*.c' '*.h' '*.cpp' '*.hpp' ':!tests/data/**')
if [ "${1:-}" = "--check" ]; then
    bad=0
    for f in "${files[@]}"; do
        if ! "$cf" --dry-run -Werror "$f" >/dev/null 2>&1; then
            echo "needs formatting: $f"
            bad=1
        fi
    done
    [ $bad -eq 0 ] && echo "format: all ${#files[@]} files are formatted"
    exit $bad
fi
printf '%s\0' "${files[@]}" | xargs -0 "$cf" -i
