#!/usr/bin/env bash
# Times the direct-access page queries and a read of every object beside qpdf's library on
# the same synthetic files in the same run, then prints the medians and qpdf's time as a
# multiple of ours. Usage: bench/bench_smartaccess.sh [repetitions]
# (inputs are made on first use by bench/make_load_inputs.sh, never committed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
reps=${1:-3}
inputs=${PARVEX_BENCH_INPUTS:-$root/build/bench-inputs}
[ -f "$inputs/big_file.pdf" ] || bash "$root/bench/make_load_inputs.sh" "$inputs"
"$root/tools/build.sh" "$root/build-bench" -DPARVEX_BENCH=ON -DPARVEX_TESTS=OFF -DPARVEX_APP=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
json=$(mktemp)
trap 'rm -f "$json"' EXIT
PARVEX_BENCH_INPUTS=$inputs "$root/build-bench/bench/bench_smartaccess" --benchmark_repetitions="$reps" \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$json"
python3 - "$json" <<'PY'
import json, sys
rows = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    work, tool, name = b["run_name"].split("/")[:3]
    rows.setdefault((work, name), {})[tool] = b["real_time"]
print(f"{'work':8} {'file':18} {'parvex':>10} {'qpdf':>10} {'qpdf/ours':>10}")
for (work, name), t in rows.items():
    ours, peer = t.get("parvex"), t.get("qpdf")
    ratio = f"{peer / ours:9.2f}x" if ours and peer else "        -"
    print(f"{work:8} {name:18} {ours:8.1f}ms {peer or 0:8.1f}ms {ratio}")
PY
