#!/usr/bin/env bash
# Times parvex-cli encrypt and decrypt beside mutool and qpdf on the synthetic inputs of
# make_crypt_inputs.sh, in the same run, alternating the tools. Prints the median wall time
# and peak RSS of each, and the ratios (peer time / ours: above 1 means we are faster).
# With BEFORE set to another parvex-cli (an earlier build), that one is timed in the same run
# too, so a change can be judged beside the peers: "before/us" above 1 means it made us faster.
# Usage: [BEFORE=old/parvex-cli] bench/bench_crypt.sh [build-dir] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-5}
inputs="$build/bench-inputs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli="$build/parvex-cli"
[ -x "$cli" ] || { echo "build parvex-cli first ($cli)"; exit 1; }
[ -f "$inputs/many.pdf" ] || "$root/bench/make_crypt_inputs.sh" "$inputs"

# shellcheck source=bench_lib.sh
. "$root/bench/bench_lib.sh"

before=${BEFORE:-}
printf "%-10s %-8s %10s %10s %10s %10s %9s %9s %9s %9s\n" file op "ours s" "before s" "mutool s" "qpdf s" "before/us" \
  "mutool/us" "qpdf/us" "our MiB"
for name in mixed images many; do
  in="$inputs/$name.pdf"
  # A common encrypted input for the decryption runs.
  qpdf --allow-weak-crypto --encrypt U O 128 --use-aes=n -- "$in" "$work/enc.pdf"
  for op in encrypt decrypt; do
    rm -f "$work"/log.*
    for ((i = 0; i < runs; i++)); do
      # Ours and the earlier build take turns at going first: a run right after another
      # tool's big write pays for some of its write-back.
      if [ $op = encrypt ]; then
        if [ -n "$before" ] && ((i % 2)); then
          measure "$work/log.before" "$before" encrypt "$in" "$work/o4.pdf" --user-password U --owner-password O --quiet
        fi
        measure "$work/log.ours" "$cli" encrypt "$in" "$work/o1.pdf" --user-password U --owner-password O --quiet
        if [ -n "$before" ] && ! ((i % 2)); then
          measure "$work/log.before" "$before" encrypt "$in" "$work/o4.pdf" --user-password U --owner-password O --quiet
        fi
        measure "$work/log.mutool" mutool clean -E rc4-128 -U U -O O "$in" "$work/o2.pdf"
        measure "$work/log.qpdf" qpdf --allow-weak-crypto --encrypt U O 128 --use-aes=n -- "$in" "$work/o3.pdf"
      else
        if [ -n "$before" ] && ((i % 2)); then
          measure "$work/log.before" "$before" decrypt "$work/enc.pdf" "$work/o4.pdf" --password U --quiet
        fi
        measure "$work/log.ours" "$cli" decrypt "$work/enc.pdf" "$work/o1.pdf" --password U --quiet
        if [ -n "$before" ] && ! ((i % 2)); then
          measure "$work/log.before" "$before" decrypt "$work/enc.pdf" "$work/o4.pdf" --password U --quiet
        fi
        measure "$work/log.mutool" mutool clean -p U -D "$work/enc.pdf" "$work/o2.pdf"
        measure "$work/log.qpdf" qpdf --password=U --decrypt "$work/enc.pdf" "$work/o3.pdf"
      fi
    done
    ours=$(median "$work/log.ours" 1)
    mu=$(median "$work/log.mutool" 1)
    qp=$(median "$work/log.qpdf" 1)
    rss=$(median "$work/log.ours" 2)
    old=0
    [ -z "$before" ] || old=$(median "$work/log.before" 1)
    awk -v n="$name" -v op="$op" -v o="$ours" -v b="$old" -v m="$mu" -v q="$qp" -v r="$rss" 'BEGIN {
      printf "%-10s %-8s %10.2f %10.2f %10.2f %10.2f %9.2f %9.2f %9.2f %9.1f\n", n, op, o, b, m, q, (o > 0 ? b / o : 0),
        (o > 0 ? m / o : 0), (o > 0 ? q / o : 0), r / 1024 }'
  done
done
