#!/usr/bin/env bash
# The main job: builds the programs and runs them. With a display, the window opens;
# without one, the command-line tool protects and unprotects the sample PDF.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/bootstrap.sh"
"$root/tools/build.sh" "$root/build" -DPARVEX_TESTS=ON
if [ -n "${DISPLAY:-}" ] && [ -x "$root/build/app/parvex" ]; then
  exec "$root/build/app/parvex"
fi
exec "$root/tools/demo.sh" "$root/build"
