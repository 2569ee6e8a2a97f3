#!/usr/bin/env bash
# Times the repair of a file whose cross-reference table was removed (500,000 objects: the
# many.pdf input of make_crypt_inputs.sh with its table and startxref cut out), beside qpdf
# --check and mutool clean on the same file, in the same run, alternating the tools. Prints
# the median wall time and peak RSS of each and the ratios (peer time / ours: above 1 means we
# are faster). "info" reads the file's facts through both readers; "encrypt" also copies it.
# Usage: bench/bench_repair.sh [build-dir] [runs]
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
damaged="$inputs/many-notable.pdf"
if [ ! -f "$damaged" ]; then
  python3 - "$inputs/many.pdf" "$damaged" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
table = data.rfind(b"\nxref\n")
trailer = data.rfind(b"trailer")
startxref = data.rfind(b"startxref")
open(sys.argv[2], "wb").write(data[:table + 1] + data[trailer:startxref] + b"%%EOF\n")
PY
fi

# shellcheck source=bench_lib.sh
. "$root/bench/bench_lib.sh"
MEASURE_ANY_STATUS=1

for ((i = 0; i < runs; i++)); do
  measure "$work/log.info" "$cli" info "$damaged"
  measure "$work/log.encrypt" "$cli" encrypt "$damaged" "$work/o1.pdf" --user-password U --owner-password O --quiet
  measure "$work/log.qpdf" qpdf --check "$damaged"
  measure "$work/log.mutool" mutool clean "$damaged" "$work/o2.pdf"
done
qp=$(median "$work/log.qpdf" 1)
mu=$(median "$work/log.mutool" 1)
printf "%-22s %9s %9s %10s %10s\n" "$(basename "$damaged")" seconds MiB "qpdf/us" "mutool/us"
for tool in info encrypt qpdf mutool; do
  t=$(median "$work/log.$tool" 1)
  r=$(median "$work/log.$tool" 2)
  awk -v n="$tool" -v t="$t" -v r="$r" -v q="$qp" -v m="$mu" 'BEGIN {
    printf "%-22s %9.2f %9.1f %10.2f %10.2f\n", n, t, r / 1024, (t > 0 ? q / t : 0), (t > 0 ? m / t : 0) }'
done
