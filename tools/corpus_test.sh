#!/usr/bin/env bash
# The real-file corpus test: fetches the corpus (tools/corpus_fetch.sh) and runs
# tools/corpus_check.py over it with the given build's parvex-cli. Exit 77 (a skip for CTest)
# when no corpus file could be had at all, as on a machine without Debian's archive.
# usage: corpus_test.sh BUILD_DIR [CORPUS_DIR]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
dir=${2:-${PARVEX_CORPUS_DIR:-${HOME:-/tmp}/.cache/parvex-corpus}}
bash "$here/corpus_fetch.sh" "$dir"
case $? in
  0) ;;
  3) echo "corpus_test: no corpus file could be fetched; skipped"; exit 77 ;;
  *) echo "corpus_test: fetching the corpus failed"; exit 1 ;;
esac
exec /usr/bin/python3 "$here/corpus_check.py" "$build" "$dir" --jobs 2
