#!/usr/bin/env bash
# Times loading a document to its page count and first-page size beside `qpdf --show-npages`
# and `pdfinfo` on the same synthetic files in the same run (each tool as a process of its
# own), then prints the medians, the peers' times as multiples of ours, and peak memory.
# Usage: bench/bench_load.sh [repetitions]   (inputs are made on first use, never committed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
reps=${1:-5}
inputs=${PARVEX_BENCH_INPUTS:-$root/build/bench-inputs}
[ -f "$inputs/big_file.pdf" ] || bash "$root/bench/make_load_inputs.sh" "$inputs"
"$root/tools/build.sh" "$root/build-bench" -DPARVEX_BENCH=ON -DPARVEX_TESTS=OFF -DPARVEX_APP=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
bench="$root/build-bench/bench/bench_load"
json=$(mktemp)
trap 'rm -f "$json"' EXIT
PARVEX_BENCH_INPUTS=$inputs "$bench" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_format=json >"$json"

python3 - "$json" <<'PY'
import json, sys
rows = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    tool, name = b["run_name"].split("/")[:2]
    rows.setdefault(name, {})[tool] = b["real_time"]
print(f"{'file':18} {'parvex':>9} {'qpdf':>9} {'pdfinfo':>9} {'qpdf/ours':>10} {'pdfinfo/ours':>13} {'in-process':>11}")
for name, t in rows.items():
    ours = t["parvex_process"]
    print(f"{name:18} {ours:8.1f}ms {t['qpdf_show_npages']:8.1f}ms {t['pdfinfo']:8.1f}ms "
          f"{t['qpdf_show_npages'] / ours:9.1f}x {t['pdfinfo'] / ours:12.1f}x {t['parvex_in_process']:9.1f}ms")
PY

echo "peak resident memory (KB):"
for f in many_objects many_objstm big_file; do
  file="$inputs/$f.pdf"
  ours=$( { PARVEX_BENCH_LOAD_ONCE=$file /usr/bin/time -f "%M" "$bench" >/dev/null; } 2>&1 )
  qpdf=$( { /usr/bin/time -f "%M" qpdf --show-npages "$file" >/dev/null; } 2>&1 )
  info=$( { /usr/bin/time -f "%M" pdfinfo "$file" >/dev/null; } 2>&1 )
  printf '%-18s parvex %8s  qpdf %8s  pdfinfo %8s\n' "$f.pdf" "$ours" "$qpdf" "$info"
done
