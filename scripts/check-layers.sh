#!/usr/bin/env bash
# The build enforces the layers of src/ (each folder a library that sees and links only the folders
# below it; see mirovell_layer in CMakeLists.txt). This checks what the build cannot see:
# - an include that climbs out of its folder ("../x/Y.h"): it is found beside the including file,
#   past the include roots;
# - a folder of C++ sources that is no library of its own, and so would belong to no layer;
# - a MainWindow:: definition outside app/.
set -uo pipefail
cd "$(dirname "$0")/../src"

bad=0
while IFS= read -r hit; do
    echo "relative include: $hit"
    bad=1
done < <(grep -rnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<](\.\.?/|[^">]*/\.\./)' .)

while IFS= read -r dir; do
    dir=${dir#./}
    compgen -G "$dir/*.cpp" >/dev/null || compgen -G "$dir/*.h" >/dev/null || continue  # e.g. a page's files
    [[ -f "$dir/CMakeLists.txt" ]] && grep -qE 'mirovell_layer\(|add_executable\(' "$dir/CMakeLists.txt" && continue
    echo "no library of its own: src/$dir"
    bad=1
done < <(find . -mindepth 1 -type d | sort)

while IFS= read -r hit; do
    echo "MainWindow:: defined outside app/: $hit"
    bad=1
done < <(grep -rn --include='*.cpp' --include='*.h' -E '^[^/ ]*[[:space:]&*]?MainWindow::~?[A-Za-z_]+[[:space:]]*\(' . | grep -v '^\./app/')

if ((bad)); then
    echo "layers: FAILED"
    exit 1
fi
echo "layers: no include climbs out of its folder, every folder is a library, MainWindow:: only in app/"
