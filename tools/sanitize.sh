#!/usr/bin/env bash
# Builds and runs the whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
# Any sanitizer report aborts the test that caused it, which fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/build.sh" "$root/build-asan" -DPARVEX_SANITIZE=ON -DPARVEX_APP=OFF -DCMAKE_BUILD_TYPE=Debug
cd "$root/build-asan"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The real-file corpus runs in the plain build only (its peers dominate its time).
ctest --output-on-failure -j "$(nproc)" -LE corpus
