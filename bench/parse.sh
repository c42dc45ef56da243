#!/usr/bin/env bash
# Times Feldolgoz on a large generated price page against `grep -c '<p>'`
# over the same file, and shows that the parser's peak memory does not grow
# with the file. Usage: bench/parse.sh [MiB] [larger MiB]   (64 and 256 by default)
# NETUPDATE_WINDOWS_BUILD=dir also runs that Windows build's parse_bench.exe
# under Wine (tests/wine-run), configuring and building it there with the
# win64 preset first when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/windows.sh
small=${1:-64}
large=${2:-256}
build=build/bench-parse
work=$(mktemp -d)
cleanup() {
  windows_stop || true
  rm -rf "$work"
}
trap cleanup EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNETUPDATE_BUILD_GUI=OFF >/dev/null
cmake --build "$build" --target parse_bench -j2 >/dev/null
bench=$build/bench/parse_bench
windows_bench=
if [[ -n ${NETUPDATE_WINDOWS_BUILD:-} ]]; then
  windows_exe=$(windows_target "$NETUPDATE_WINDOWS_BUILD" parse_bench bench)
  windows_start "$windows_exe"
  windows_bench="tests/wine-run $windows_exe"
fi

python3 bench/parse_page.py "$work/page.html" "$small"
python3 bench/parse_page.py "$work/large.html" "$large"
bytes=$(stat -c %s "$work/page.html")
echo "page: $bytes bytes, $(wc -l <"$work/page.html") lines, cells priced: $("$bench" "$work/page.html")"

commands=(-n parser "$bench $work/page.html" -n grep "grep -c <p> $work/page.html")
if [[ -n $windows_bench ]]; then
  # Wine's drive Z: is the Unix root.
  cells=$($windows_bench "Z:$work/page.html" | tr -d '\r')
  [[ $cells == $("$bench" "$work/page.html") ]] || { echo "the Windows build read $cells cells" >&2; exit 1; }
  commands+=(-n windows "$windows_bench Z:$work/page.html" -n wine-start "$windows_bench Z:$work/none.html")
fi

hyperfine -N --warmup 3 --min-runs 20 --style basic --export-json "$work/times.json" "${commands[@]}"

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
if "windows" in runs:
    windows, start = runs["windows"]["median"], runs["wine-start"]["median"]
    reference = runs["grep"]["median"]
    print(f"Windows build under Wine, median: {windows * 1000:.1f} ms; Wine start-up alone (a missing "
          f"page): {start * 1000:.1f} ms")
    print(f"Windows build time / grep time (medians): {windows / reference:.2f}, "
          f"without Wine's start-up: {(windows - start) / reference:.2f}")
PY

for file in page large; do
  size=$(($(stat -c %s "$work/$file.html") / 1048576))
  peak=$(/usr/bin/time -v "$bench" "$work/$file.html" 2>&1 >/dev/null |
         sed -n 's/.*Maximum resident set size (kbytes): //p')
  echo "peak memory on the $size MiB page: $peak KiB"
  if [[ -n $windows_bench ]]; then
    # The largest process of the run, Wine's own included.
    peak=$(/usr/bin/time -v $windows_bench "Z:$work/$file.html" 2>&1 >/dev/null |
           sed -n 's/.*Maximum resident set size (kbytes): //p')
    echo "  Windows build under Wine: $peak KiB"
  fi
done
