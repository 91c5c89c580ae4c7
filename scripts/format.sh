#!/usr/bin/env bash
# Formats every C++ file of the project with .clang-format; --check only tells which differ.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format)
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ "${1:-}" == --check ]]; then
    exec "$format" --dry-run --Werror "${files[@]}"
fi
"$format" -i "${files[@]}"
