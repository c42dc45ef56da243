#!/usr/bin/env bash
# Downloads a large file from a local nginx with `netupdate-cli fetch` and with
# `curl -o`, side by side, over http and over https, and prints the times,
# their ratios and the peak memory sizes. Usage: bench/fetch.sh [MiB]   (256 by default)
# NETUPDATE_CLI=path uses that tool instead of building a Release one.
# NETUPDATE_WINDOWS_BUILD=dir also runs that Windows build's netupdate-cli.exe
# under Wine (tests/wine-run), configuring and building it there with the
# win64 preset first when needed. For https its test CA goes into the Wine
# prefix's Root store for the run, with the tests' root_store_tool.
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
  root_store_tool=$(windows_target "$NETUPDATE_WINDOWS_BUILD" root_store_tool src/download/testing)
  windows_cli="tests/wine-run $windows_exe"
fi

work=$(mktemp -d)
nginx_pid=
ca_added=
cleanup() {
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  [[ -n $ca_added ]] && tests/wine-run "$root_store_tool" remove "Z:$work/certs/ca.pem" >/dev/null
  windows_stop || true
  rm -rf "$work"
}
trap cleanup EXIT
[[ -n $windows_cli ]] && windows_start "$windows_exe"

mkdir -p "$work/www" "$work/tmp" "$work/certs"
head -c $((size * 1024 * 1024)) /dev/urandom >"$work/www/big.bin"
# The certificates the https tests use: valid for 127.0.0.1 and localhost.
src/download/testing/tls-rig --certificates "$work/certs"
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port=$(free_port)
tls_port=$(free_port)
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
  server {
    listen 127.0.0.1:$tls_port ssl;
    ssl_certificate $work/certs/good.pem;
    ssl_certificate_key $work/certs/server.key;
    root $work/www;
  }
}
CONF
/usr/sbin/nginx -e "$work/error.log" -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
url=http://127.0.0.1:$port/big.bin
tls_url=https://127.0.0.1:$tls_port/big.bin
# Wine's crypt32 matches no IP address against a certificate.
windows_tls_url=https://localhost:$tls_port/big.bin
for _ in $(seq 100); do
  curl -sf -o /dev/null -r 0-0 "$url" && curl -sf --cacert "$work/certs/ca.pem" -o /dev/null -r 0-0 "$tls_url" && break
  sleep 0.05
done
# netupdate-cli trusts what OpenSSL's default paths name; curl its own --cacert.
export SSL_CERT_FILE=$work/certs/ca.pem
curl_tls="curl -sf --cacert $work/certs/ca.pem"

"$cli" fetch "$url" "$work/ours.bin"
cmp "$work/ours.bin" "$work/www/big.bin"
"$cli" fetch "$tls_url" "$work/ours.bin"
cmp "$work/ours.bin" "$work/www/big.bin"
curl -sf -o "$work/curl.bin" "$url"
cmp "$work/curl.bin" "$work/www/big.bin"
$curl_tls -o "$work/curl.bin" "$tls_url"
cmp "$work/curl.bin" "$work/www/big.bin"
commands=(-n netupdate "$cli fetch $url $work/ours.bin" -n curl "curl -sf -o $work/curl.bin $url"
          -n netupdate-https "$cli fetch $tls_url $work/ours.bin"
          -n curl-https "$curl_tls -o $work/curl.bin $tls_url")
if [[ -n $windows_cli ]]; then
  tests/wine-run "$root_store_tool" add "Z:$work/certs/ca.pem" >/dev/null
  ca_added=yes
  # Wine's drive Z: is the Unix root.
  $windows_cli fetch "$url" "Z:$work/windows.bin"
  cmp "$work/windows.bin" "$work/www/big.bin"
  $windows_cli fetch "$windows_tls_url" "Z:$work/windows.bin"
  cmp "$work/windows.bin" "$work/www/big.bin"
  commands+=(-n windows "$windows_cli fetch $url Z:$work/windows.bin"
             -n windows-https "$windows_cli fetch $windows_tls_url Z:$work/windows.bin"
             -n wine-start "$windows_cli --help")
fi
echo "file: $size MiB from nginx on 127.0.0.1:$port (http) and :$tls_port (https), $runs runs each"

hyperfine -N --warmup 2 --runs "$runs" --style basic --export-json "$work/times.json" "${commands[@]}"

python3 - "$work/times.json" "$size" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
size = int(sys.argv[2])
cpu = {name: r["user"] + r["system"] for name, r in runs.items()}
for scheme, suffix in (("http", ""), ("https", "-https")):
    ours, curl = runs["netupdate" + suffix]["mean"], runs["curl" + suffix]["mean"]
    print(f"{scheme}: netupdate-cli fetch: {ours * 1000:.0f} ms, {size / ours:.0f} MiB/s")
    print(f"{scheme}: curl -o:             {curl * 1000:.0f} ms, {size / curl:.0f} MiB/s")
    print(f"{scheme}: netupdate time / curl time: {ours / curl:.2f} (target: at most 1)")
    print(f"{scheme}: CPU time (user+system): netupdate {cpu['netupdate' + suffix] * 1000:.0f} ms, "
          f"curl {cpu['curl' + suffix] * 1000:.0f} ms")
if "windows" in runs:
    start = runs["wine-start"]["median"]
    print(f"Wine start-up alone (--help), median: {start * 1000:.0f} ms")
    for scheme, suffix in (("http", ""), ("https", "-https")):
        windows, reference = runs["windows" + suffix]["median"], runs["curl" + suffix]["median"]
        print(f"{scheme}: netupdate-cli.exe fetch under Wine, median: {windows * 1000:.0f} ms, "
              f"{size / windows:.0f} MiB/s")
        print(f"{scheme}: Windows build time / curl time (medians): {windows / reference:.2f}, "
              f"without Wine's start-up: {(windows - start) / reference:.2f}")
PY

peak() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
echo "peak memory, http: netupdate-cli fetch $(peak "$cli" fetch "$url" "$work/ours.bin") KiB," \
  "curl -o $(peak curl -sf -o "$work/curl.bin" "$url") KiB (target: under 16384 KiB)"
echo "peak memory, https: netupdate-cli fetch $(peak "$cli" fetch "$tls_url" "$work/ours.bin") KiB," \
  "curl -o $(peak $curl_tls -o "$work/curl.bin" "$tls_url") KiB (target: under 16384 KiB)"
if [[ -n $windows_cli ]]; then
  # The largest process of the run, Wine's own included.
  echo "peak memory under Wine: netupdate-cli.exe fetch" \
    "http $(peak $windows_cli fetch "$url" "Z:$work/windows.bin") KiB," \
    "https $(peak $windows_cli fetch "$windows_tls_url" "Z:$work/windows.bin") KiB," \
    "--help alone $(peak $windows_cli --help) KiB"
fi
