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
info() {  # the facts of a file, as the command-line tool shows them (or a peer, before it can)
  if "$cli" info --help >/dev/null 2>&1; then "$cli" info "$@"; else pdfinfo "$@" 2>&1 | sed -n '1,12p'; fi
}
echo "== the sample: $sample"
info "$sample"
echo
echo "== encrypt it (user password 'user', owner password 'owner', printing and copying allowed)"
"$cli" encrypt "$sample" "$out/protected.pdf" --user-password user --owner-password owner --allow print,copy
echo
echo "== decrypting the copy without a password is refused"
"$cli" decrypt "$out/protected.pdf" "$out/plain.pdf" --password '' </dev/null || echo "(exit status $?: refused, as it should be)"
echo
echo "== decrypt it with the user password"
"$cli" decrypt "$out/protected.pdf" "$out/plain.pdf" --password user
info "$out/plain.pdf"
