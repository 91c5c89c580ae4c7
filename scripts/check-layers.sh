#!/usr/bin/env bash
# Checks the shape of src/ from its #include lines: no include of a higher layer from a lower one,
# none between two subsystem folders, and no MainWindow:: definition outside src/app/.
# Layers, top to bottom: main.cpp and updater/, gui/, app/, the subsystems (playlist/, player/,
# link/, update/, desktop/, web/), platform/qt/, platform/. Only gui/ and main.cpp reach platform/qt/,
# as the rest is mirovell_core, which has no widgets.
set -uo pipefail
cd "$(dirname "$0")/../src"
subsystems="playlist player link update desktop web"

layer() {  # layer path-below-src
    case "$1" in
    main.cpp | updater/*) echo 6 ;;
    gui/*) echo 5 ;;
    app/*) echo 4 ;;
    playlist/* | player/* | link/* | update/* | desktop/* | web/*) echo 3 ;;
    platform/qt/*) echo 2 ;;
    platform/*) echo 1 ;;
    *) echo 0 ;;
    esac
}

bad=0
while IFS= read -r file; do
    file=${file#./}
    from=$(layer "$file")
    while IFS= read -r target; do
        [[ -f "$target" ]] || continue  # Qt's and the system's headers
        to=$(layer "$target")
        top_from=${file%%/*}
        top_to=${target%%/*}
        if ((to > from)); then
            echo "upward: $file includes $target"
            bad=1
        elif ((to == 3 && from == 3)) && [[ "$top_from" != "$top_to" ]]; then
            echo "between subsystems: $file includes $target"
            bad=1
        elif [[ "$target" == platform/qt/* && "$file" != gui/* && "$file" != main.cpp && "$file" != platform/qt/* ]]; then
            echo "widgets in the core: $file includes $target"
            bad=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.cpp' -o -name '*.h' | sort)

while IFS= read -r hit; do
    echo "MainWindow:: defined outside app/: $hit"
    bad=1
done < <(grep -rn --include='*.cpp' --include='*.h' -E '^[^/ ]*[[:space:]&*]?MainWindow::~?[A-Za-z_]+[[:space:]]*\(' . | grep -v '^\./app/')

if ((bad)); then
    echo "layers: FAILED"
    exit 1
fi
echo "layers: every include goes downwards, no subsystem includes another, MainWindow:: only in app/"
