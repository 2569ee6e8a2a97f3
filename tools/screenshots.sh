#!/usr/bin/env bash
# Writes PNG screenshots of the main window (after opening the 128-bit fixture with its user
# password) and of the About balloon, on Qt's offscreen platform, so no display is needed.
# Usage: tools/screenshots.sh [out-dir]   (default build/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/screenshots}
"$root/tools/build.sh" "$root/build" >/dev/null
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$root/build/app/parvex-screenshots" "$out" "$root/tests/data/app_rc4_128.pdf" user
