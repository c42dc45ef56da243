#!/usr/bin/env bash
# Times Feldolgoz on a large generated price page against `grep -c '<p>'`
# over the same file, and shows that the parser's peak memory does not grow
# with the file. Usage: bench/parse.sh [MiB] [larger MiB]   (64 and 256 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
small=${1:-64}
large=${2:-256}
build=build/bench-parse
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNETUPDATE_BUILD_GUI=OFF >/dev/null
cmake --build "$build" --target parse_bench -j2 >/dev/null
bench=$build/bench/parse_bench

python3 bench/parse_page.py "$work/page.html" "$small"
python3 bench/parse_page.py "$work/large.html" "$large"
bytes=$(stat -c %s "$work/page.html")
echo "page: $bytes bytes, $(wc -l <"$work/page.html") lines, cells priced: $("$bench" "$work/page.html")"

hyperfine -N --warmup 3 --min-runs 20 --style basic --export-json "$work/times.json" \
  -n parser "$bench $work/page.html" \
  -n grep "grep -c <p> $work/page.html"

python3 - "$work/times.json" "$bytes" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
size = int(sys.argv[2])
parser, grep = runs["parser"]["mean"], runs["grep"]["mean"]
print(f"parser: {parser * 1000:.1f} ms, {size / parser / 2**20:.0f} MiB/s")
print(f"grep:   {grep * 1000:.1f} ms, {size / grep / 2**20:.0f} MiB/s")
print(f"parser time / grep time: {parser / grep:.2f} (target: at most 2)")
# On a shared machine the wall clock also measures the neighbours; the CPU
# time each side used is the steadier comparison.
cpu = {name: r["user"] + r["system"] for name, r in runs.items()}
print(f"CPU time (user+system): parser {cpu['parser'] * 1000:.1f} ms, grep {cpu['grep'] * 1000:.1f} ms, "
      f"ratio {cpu['parser'] / cpu['grep']:.2f}")
PY

for file in page large; do
  size=$(($(stat -c %s "$work/$file.html") / 1048576))
  peak=$(/usr/bin/time -v "$bench" "$work/$file.html" 2>&1 >/dev/null |
         sed -n 's/.*Maximum resident set size (kbytes): //p')
  echo "peak memory on the $size MiB page: $peak KiB"
done
