#!/usr/bin/env bash
# Brings the English Linguist source up to date with the texts in src/ (new texts come in
# unfinished, texts gone from the code are dropped) and says how many still lack their English.
# The build compiles it; fill in new texts with Qt Linguist or by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
ts=resources/translations/mirovell_en.ts
/usr/lib/qt6/bin/lupdate -no-obsolete -locations none -source-language de -target-language en src -ts "$ts"
unfinished=$(grep -c 'type="unfinished"' "$ts" || true)
echo "$ts: $unfinished text(s) without English"
((unfinished == 0))
