#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (default 60 s), seeded from tests/data.
# A crash, a hang (over 10 s for one input) or a sanitizer report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
CC=clang CXX=clang++ "$root/tools/build.sh" "$root/build-fuzz" -DPARVEX_FUZZ=ON -DPARVEX_TESTS=OFF -DPARVEX_APP=OFF
shopt -s nullglob
for target in "$root"/build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$root/build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=("$root/tests/data")
  [ -d "$root/fuzz/seeds/$name" ] && seeds+=("$root/fuzz/seeds/$name")
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=262144 \
    -artifact_prefix="$root/build-fuzz/$name-" "$corpus" "${seeds[@]}" 2>"$root/build-fuzz/$name.log" \
    || { tail -n 60 "$root/build-fuzz/$name.log"; echo "fuzz: $name failed"; exit 1; }
done
