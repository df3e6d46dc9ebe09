#!/usr/bin/env bash
# The main job of the project: for now it prints the template task as the
# program reads it.
set -euo pipefail
BUILD_DIR=${1:-build}
"$BUILD_DIR/bin/linkvane-cli" show "$BUILD_DIR/bin/Template/NewTask.lvt"
