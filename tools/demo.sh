#!/usr/bin/env bash
# Headless demonstration on the committed sample PDF: encrypt it, show that the copy
# asks for a password, decrypt it again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cli="$build/parvex-cli"
sample="$root/tests/data/sample.pdf"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if [ ! -x "$cli" ]; then
  echo "parvex-cli is not built yet; the library and its tests are in $build"
  exit 0
fi
echo "== the sample"
"$cli" info "$sample" || true
echo "== encrypt with user password 'user' and owner password 'owner'"
"$cli" encrypt "$sample" "$out/protected.pdf" --user-password user --owner-password owner --allow print,copy
echo "== the encrypted copy without a password"
"$cli" info "$out/protected.pdf" --password '' </dev/null || echo "(refused, as it should be)"
echo "== decrypt with the user password"
"$cli" decrypt "$out/protected.pdf" "$out/plain.pdf" --password user
"$cli" info "$out/plain.pdf" || true
