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
info() { "$cli" info "$@"; }
echo "== the sample: $sample"
info "$sample"
echo
echo "== encrypt it (user password 'user', owner password 'owner', printing and copying allowed)"
"$cli" encrypt "$sample" "$out/protected.pdf" --user-password user --owner-password owner --allow print,copy
echo
echo "== the copy's facts: its information needs the password"
info "$out/protected.pdf" </dev/null
"$cli" verify "$out/protected.pdf" --password owner
echo
echo "== decrypting the copy without a password is refused"
"$cli" decrypt "$out/protected.pdf" "$out/plain.pdf" --password '' </dev/null || echo "(exit status $?: refused, as it should be)"
echo
echo "== decrypt it with the user password"
"$cli" decrypt "$out/protected.pdf" "$out/plain.pdf" --password user
info "$out/plain.pdf"
