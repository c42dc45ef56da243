#!/usr/bin/env bash
# Downloads a large file from a local nginx with `netupdate-cli fetch` and with
# `curl -o`, side by side, and prints both times, their ratio and both peak
# memory sizes. Usage: bench/fetch.sh [MiB]   (256 by default)
# NETUPDATE_CLI=path uses that tool instead of building a Release one.
# NETUPDATE_WINDOWS_BUILD=dir also runs that Windows build's netupdate-cli.exe
# under Wine (tests/wine-run), configuring and building it there with the
# win64 preset first when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/windows.sh
size=${1:-256}
runs=${RUNS:-10}

cli=${NETUPDATE_CLI:-}
if [[ -z $cli ]]; then
  build=build/bench-fetch
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNETUPDATE_BUILD_GUI=OFF >/dev/null
  cmake --build "$build" --target netupdate-cli -j2 >/dev/null
  cli=$build/src/cli/netupdate-cli
fi
windows_cli=
if [[ -n ${NETUPDATE_WINDOWS_BUILD:-} ]]; then
  windows_exe=$(windows_target "$NETUPDATE_WINDOWS_BUILD" netupdate-cli src/cli)
  windows_cli="tests/wine-run $windows_exe"
fi

work=$(mktemp -d)
nginx_pid=
cleanup() {
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  windows_stop || true
  rm -rf "$work"
}
trap cleanup EXIT
[[ -n $windows_cli ]] && windows_start "$windows_exe"

mkdir -p "$work/www" "$work/tmp"
head -c $((size * 1024 * 1024)) /dev/urandom >"$work/www/big.bin"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<CONF
daemon off;
user root;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/tmp;
  proxy_temp_path $work/tmp;
  fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp;
  scgi_temp_path $work/tmp;
  sendfile on;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
/usr/sbin/nginx -e "$work/error.log" -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
url=http://127.0.0.1:$port/big.bin
for _ in $(seq 100); do
  curl -sf -o /dev/null -r 0-0 "$url" && break
  sleep 0.05
done

"$cli" fetch "$url" "$work/ours.bin"
curl -sf -o "$work/curl.bin" "$url"
cmp "$work/ours.bin" "$work/www/big.bin"
cmp "$work/curl.bin" "$work/www/big.bin"
commands=(-n netupdate "$cli fetch $url $work/ours.bin" -n curl "curl -sf -o $work/curl.bin $url")
if [[ -n $windows_cli ]]; then
  # Wine's drive Z: is the Unix root.
  $windows_cli fetch "$url" "Z:$work/windows.bin"
  cmp "$work/windows.bin" "$work/www/big.bin"
  commands+=(-n windows "$windows_cli fetch $url Z:$work/windows.bin"
             -n wine-start "$windows_cli --help")
fi
echo "file: $size MiB from nginx on 127.0.0.1:$port, $runs runs each"

hyperfine -N --warmup 2 --runs "$runs" --style basic --export-json "$work/times.json" "${commands[@]}"

python3 - "$work/times.json" "$size" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
size = int(sys.argv[2])
ours, curl = runs["netupdate"]["mean"], runs["curl"]["mean"]
print(f"netupdate-cli fetch: {ours * 1000:.0f} ms, {size / ours:.0f} MiB/s")
print(f"curl -o:             {curl * 1000:.0f} ms, {size / curl:.0f} MiB/s")
print(f"netupdate time / curl time: {ours / curl:.2f} (target: at most 1)")
cpu = {name: r["user"] + r["system"] for name, r in runs.items()}
print(f"CPU time (user+system): netupdate {cpu['netupdate'] * 1000:.0f} ms, "
      f"curl {cpu['curl'] * 1000:.0f} ms")
if "windows" in runs:
    windows, start = runs["windows"]["median"], runs["wine-start"]["median"]
    reference = runs["curl"]["median"]
    print(f"netupdate-cli.exe fetch under Wine, median: {windows * 1000:.0f} ms, "
          f"{size / windows:.0f} MiB/s; Wine start-up alone (--help): {start * 1000:.0f} ms")
    print(f"Windows build time / curl time (medians): {windows / reference:.2f}, "
          f"without Wine's start-up: {(windows - start) / reference:.2f}")
PY

peak() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
echo "peak memory: netupdate-cli fetch $(peak "$cli" fetch "$url" "$work/ours.bin") KiB," \
  "curl -o $(peak curl -sf -o "$work/curl.bin" "$url") KiB (target: under 16384 KiB)"
if [[ -n $windows_cli ]]; then
  # The largest process of the run, Wine's own included.
  echo "peak memory under Wine: netupdate-cli.exe fetch" \
    "$(peak $windows_cli fetch "$url" "Z:$work/windows.bin") KiB," \
    "--help alone $(peak $windows_cli --help) KiB"
fi
