#!/usr/bin/env bash
# Times the automatic run of netupdate from start to exit against a loopback
# HTTP server and the demo database (all prices missing, so no questions), and
# splits it by the system calls that mark each step: the page file opened
# (download), the two one-second waits, the page read (parse), the database
# opened (reconcile) and the page file deleted. Side by side, the same work
# through netupdate-cli (fetch, then sync) as the reference without a window
# or waits. Also the time from start to a visible window, and with --wine
# the same for the Windows window (the win64 build) under Wine beside it.
# Usage: bench/run.sh [runs] [--wine]   (5 runs by default; needs no display,
# brings its own)
#   NETUPDATE_BENCH_WIN64_BUILD  the Windows build to use (default: build/win64,
#                                built from the win64 preset)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=5
wine=
for arg in "$@"; do
  case $arg in
  --wine) wine=1 ;;
  *) runs=$arg ;;
  esac
done
win64=${NETUPDATE_BENCH_WIN64_BUILD:-$root/build/win64}

if [[ -z ${NETUPDATE_BENCH_DISPLAY:-} ]]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target netupdate netupdate-cli >/dev/null
  if [[ -n $wine ]]; then
    cmake --preset win64 -B "$win64" >/dev/null
    cmake --build "$win64" -j2 --target netupdate netupdate-cli >/dev/null
  fi
  NETUPDATE_BENCH_DISPLAY=1 exec tests/run-with-display "$0" "$@"
fi

app=$root/build/release/src/qt/netupdate
wine_app=
[[ -n $wine ]] && wine_app=$win64/src/win32/netupdate.exe
cli=$root/build/release/src/cli/netupdate-cli
work=$(mktemp -d /tmp/netupdate-bench-run.XXXXXX)
server_pid=
cleanup() {
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

scripts/create-demo-db "$work/template.fdb" >/dev/null
echo "DELETE FROM UZAAR; COMMIT;" | isql-fb -q -user SYSDBA "$work/template.fdb"

path=/nav/archiv/szolgaltatasok/uzemanyag_elszamolas/2018_uzemanyagarak.html
mkdir -p "$work/site$(dirname "$path")"
cp testdata/2018_uzemanyagarak.html "$work/site$path"
python3 - "$work/site" >"$work/port" 2>/dev/null <<'PY' &
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
print(server.server_address[1], flush=True)
server.serve_forever()
PY
server_pid=$!
until [[ -s $work/port ]]; do
  kill -0 "$server_pid" 2>/dev/null || { echo "bench/run.sh: HTTP server did not start" >&2; exit 1; }
  sleep 0.05
done
port=$(cat "$work/port")
url="http://127.0.0.1:$port$path"

fresh_run_dir() {
  rm -rf "$work/run"
  mkdir "$work/run"
  cp "$work/template.fdb" "$work/run/user.fdb"
}

now_ms() { date +%s%3N; }

# Start to a visible window: xev reports the X server's MapNotify as it
# happens; a root property set beforehand shows that xev is listening.
# Usage: window_probe.py EXPECTED_EXIT CAPTION CLOSE_KEY PROGRAM [ARGS...]
# (CAPTION and CLOSE_KEY may be empty: the first window mapped counts, and
# the program ends by itself). Prints start-to-map and start-to-exit in ms.
cat >"$work/window_probe.py" <<'PY'
import queue, re, subprocess, sys, threading, time
expected, caption, close_key, command = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4:]
xev = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure", "-event", "property"],
                       stdout=subprocess.PIPE, text=True)
lines = queue.Queue()
threading.Thread(target=lambda: [lines.put(line) for line in xev.stdout], daemon=True).start()
# Touched until xev reports it: xev only hears events once it has subscribed.
listening = False
while not listening:
    subprocess.run(["xprop", "-root", "-f", "NETUPDATE_BENCH", "8s", "-set", "NETUPDATE_BENCH", "ready"],
                   check=True)
    try:
        while not listening:
            listening = lines.get(timeout=0.05).startswith("PropertyNotify")
    except queue.Empty:
        pass
start = time.monotonic()
app = subprocess.Popen(command)
mapped = window = None
while window is None:
    line = lines.get(timeout=60)
    if not line.startswith("MapNotify"):
        continue
    at = time.monotonic()
    # The mapped window is on the event's second line.
    found = re.search(r"event 0x[0-9a-f]+, window (0x[0-9a-f]+)", lines.get(timeout=60))
    # Wine maps windows of its own as well; ours is the one with our caption.
    if caption and not (found and caption in subprocess.run(
            ["xprop", "-id", found.group(1), "_NET_WM_NAME"], capture_output=True, text=True).stdout):
        continue
    mapped, window = at, found.group(1) if found else ""
xev.kill()
if close_key:
    subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", close_key], check=True)
if app.wait() != expected:
    sys.exit(f"{command[0]} did not end with {expected}")
print(round((mapped - start) * 1000), round((time.monotonic() - start) * 1000))
PY
: >"$work/window_ms"
for _ in $(seq "$runs"); do
  fresh_run_dir
  (cd "$work/run" && NETUPDATE_PAGE_URL=$url python3 "$work/window_probe.py" 1 "" "" \
    "$app" "$work/run/user.fdb" SYSDBA masterkey >>"$work/window_ms")
done

# The Windows window under Wine, in developer mode (the run would stop at the
# database, for which Wine has no client library): the same code path up to
# the window showing, then Esc. Wine's own start-up, its server and services,
# weighs on the first start only; a host application on Windows never pays it.
: >"$work/wine_window_ms"
if [[ -n $wine_app ]]; then
  # A session of its own, in a clone of the prefix tests/wine-run keeps
  # (which the companion tool's first run creates).
  base=${NETUPDATE_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/netupdate/wine64}
  [[ -f $base/system.reg ]] || tests/wine-run "$win64/src/cli/netupdate-cli.exe" --help >/dev/null
  cp -al "$base" "$work/prefix"
  for reg in "$work"/prefix/*.reg; do cp --remove-destination "$base/$(basename "$reg")" "$reg"; done
  WINEPREFIX=$work/prefix wineserver -p
  mkdir "$work/wine"
  touch "$work/wine/debugfq.txt"
  for _ in $(seq $((runs + 1))); do
    (cd "$work/wine" && NETUPDATE_WINEPREFIX=$work/prefix python3 "$work/window_probe.py" 0 \
      "NAV üzemanyagár letöltő" Escape "$root/tests/wine-run" "$wine_app" >>"$work/wine_window_ms")
  done
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
fi

# The split, from a system-call trace of the same run. Only calls that mark a
# step are traced, and through a seccomp filter, so the run is barely slowed:
# opening files is not among them, as the database engine opens thousands.
for i in $(seq "$runs"); do
  fresh_run_dir
  (cd "$work/run" && NETUPDATE_PAGE_URL=$url exec strace --seccomp-bpf -f -ttt -T \
    -e trace=execve,connect,clock_nanosleep,nanosleep,unlink,unlinkat \
    -o "$work/trace.$i" "$app" "$work/run/user.fdb" SYSDBA masterkey) || true
done

# The reference: the same download and reconciliation through the command-line tool.
: >"$work/cli_ms"
for _ in $(seq "$runs"); do
  fresh_run_dir
  start=$(now_ms)
  "$cli" fetch "$url" "$work/run/page.html" >/dev/null
  "$cli" sync "$work/run/user.fdb" SYSDBA masterkey --page "$work/run/page.html" >/dev/null
  echo $(($(now_ms) - start)) >>"$work/cli_ms"
done

python3 - "$work" "$runs" "$port" <<'PY'
import re, statistics, sys
work, runs, port = sys.argv[1], int(sys.argv[2]), sys.argv[3]
line_re = re.compile(r"^(\d+) +([\d.]+) (.*?)(?: <([\d.]+)>)?$")

def split(trace):
    """Marker times from one trace, on the process's main thread (the UI
    thread, which runs the whole sequence). strace stamps a call when it is
    entered; -T adds how long it took, on the line that completes it."""
    marks, waits, unfinished = {}, [], {}
    for line in open(trace):
        m = line_re.match(line.rstrip("\n"))
        if not m:
            continue
        pid, entered, call, took = m.group(1), float(m.group(2)), m.group(3), m.group(4)
        if call.endswith("<unfinished ...>"):
            unfinished[pid] = (entered, call)
            continue
        if "resumed>" in call and pid in unfinished:
            entered, first = unfinished.pop(pid)
            call = first + call
        left = entered + float(took or 0)
        page = ".html" in call
        if call.startswith("execve(") and "main" not in marks:
            marks.update(start=entered, main=pid)
        elif pid != marks.get("main"):
            continue
        elif call.startswith("connect(") and f"htons({port})" in call:
            marks.setdefault("download", entered)
        elif "nanosleep(" in call and "tv_sec=1, tv_nsec=0" in call:
            waits.append((entered, left))
        elif call.startswith("unlink") and page and len(waits) == 2:
            marks.setdefault("deleted", entered)
        elif call.startswith("+++ exited"):
            marks["end"] = entered
    if len(waits) != 2 or len(marks) != 5:
        raise SystemExit(f"{trace}: markers missing ({sorted(marks)}, {len(waits)} waits)")
    (w1s, w1e), (w2s, w2e) = waits
    ms = lambda a, b: (b - a) * 1000
    return {
        "start-up (process start to the request's connect)": ms(marks["start"], marks["download"]),
        "download (connect to first wait)": ms(marks["download"], w1s),
        "wait 1": ms(w1s, w1e),
        "parse (first wait to second wait)": ms(w1e, w2s),
        "wait 2": ms(w2s, w2e),
        "reconcile (second wait to page file deleted)": ms(w2e, marks["deleted"]),
        "close (page file deleted to exit)": ms(marks["deleted"], marks["end"]),
        "total (process start to exit)": ms(marks["start"], marks["end"]),
    }

rows = [split(f"{work}/trace.{i}") for i in range(1, runs + 1)]
untraced = [line.split() for line in open(f"{work}/window_ms")]
window = [int(mapped) for mapped, _ in untraced]
whole = [int(total) for _, total in untraced]
cli = [int(x) for x in open(f"{work}/cli_ms")]
print(f"start-up to a visible window: median {statistics.median(window):.0f} ms, "
      f"max {max(window)} ms (target: under 300 ms)")
wine = [[int(x) for x in line.split()] for line in open(f"{work}/wine_window_ms")]
if wine:
    (first, _), warm = wine[0], [mapped for mapped, _ in wine[1:]]
    print(f"the Windows window under Wine, start-up to a visible window: first start "
          f"{first} ms (Wine's services starting with it), then median "
          f"{statistics.median(warm):.0f} ms, max {max(warm)} ms")
print(f"start to exit, untraced: median {statistics.median(whole):.0f} ms")
print(f"automatic run, median of {runs} traced runs:")
for key in rows[0]:
    print(f"  {key:52s} {statistics.median(r[key] for r in rows):8.1f} ms")
total = statistics.median(r["total (process start to exit)"] for r in rows)
waits = statistics.median(r["wait 1"] + r["wait 2"] for r in rows)
work_ms = statistics.median(
    sum(r[k] for k in r if k.split()[0] in ("download", "parse", "reconcile")) for r in rows)
print(f"  the stages' own work (download + parse + reconcile): {work_ms:.1f} ms")
print(f"  beyond the waits and the stages: {total - waits - work_ms:.1f} ms")
print(f"reference, netupdate-cli fetch + sync: median {statistics.median(cli):.0f} ms")
print(f"(untraced netupdate total - 2000 ms of waits) / reference: "
      f"{(statistics.median(whole) - 2000) / statistics.median(cli):.2f}")
PY
