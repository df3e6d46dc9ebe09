#!/usr/bin/env bash
# The main job of the project, on a bundled sample site: runs the demo task
# headless over local pages (no network, no display), follows the "Next page"
# links, keeps the book links that pass the filters and writes them, with
# their authors as extra data, in the layout "LinkURL {Tab} LinkText".
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
SITE="$(pwd)/data/demo/site"
OUT_DIR="$(pwd)/$BUILD_DIR/demo"
RESULT="$OUT_DIR/Result.txt"
mkdir -p "$OUT_DIR"
rm -f "$RESULT"
"$BUILD_DIR/bin/linkvane-cli" run \
    --set "URLPrefix=file://$SITE/" \
    --set "OutputTextFileName=$RESULT" \
    data/demo/demo.lvt
echo "The harvested links are in $RESULT:"
cat "$RESULT"
