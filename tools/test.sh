#!/usr/bin/env bash
# Builds the project and runs every test. This is the README's test command and what CI runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/bootstrap.sh"
"$root/tools/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure -j "$(nproc)"
if [ -x "$root/build/app/parvex" ]; then "$root/tools/app_smoke.sh" "$root/build"; fi
