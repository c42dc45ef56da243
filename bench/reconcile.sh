#!/usr/bin/env bash
# Times the price reconciliation on a host database with 500 fuel types
# (12 x 500 = 6,000 price lookups) side by side with isql-fb running the same
# statements from a script: once with nothing to write (every price already
# in place) and once inserting all 6,000 prices, each insert committed on its
# own as the reconciliation does. Both embedded and over the local server.
# Usage: bench/reconcile.sh [runs]   (3 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-3}
fuels=500
build=build/bench-reconcile
work=$(mktemp -d /tmp/netupdate-bench-reconcile.XXXXXX)
chmod 777 "$work"
trap 'rm -rf "$work"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNETUPDATE_BUILD_GUI=OFF >/dev/null
cmake --build "$build" --target reconcile_bench -j2 >/dev/null
bench=$(find "$build" -name reconcile_bench -type f -executable | head -n 1)
page=$root/testdata/2018_uzemanyagarak.html

host=${NETUPDATE_FIREBIRD_HOST:-127.0.0.1}
port=${NETUPDATE_FIREBIRD_PORT:-3050}
password=${NETUPDATE_FIREBIRD_PASSWORD:-masterkey}
server=$host
[ "$port" = 3050 ] || server="$host/$port"
routes=(embedded)
if scripts/firebird-server start >/dev/null 2>&1 && (exec 3<>"/dev/tcp/$host/$port") 2>/dev/null; then
  routes+=(server)
else
  echo "no Firebird server on $host:$port: timing the embedded route only"
fi

# The NAV prices the page gives, so the isql script writes the same values.
"$bench" "$page" >"$work/prices"

python3 - "$work" "$fuels" <<'PY'
import sys
work, fuels = sys.argv[1], int(sys.argv[2])
categories = ["Benzin ESZ-95", "Keverék", "Gázolaj", "LPG autógáz"]
prices = {}
for line in open(f"{work}/prices"):
    month, *values = line.split()
    prices[int(month)] = [float(v) for v in values]

with open(f"{work}/setup.sql", "w", encoding="cp1250") as f:
    for i in range(1, fuels + 1):
        f.write(f"INSERT INTO UZA (UZAID, UZANEV) VALUES ({i}, 'Üzemanyag {i}');\n")
        f.write(f"INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES ({i}, '{categories[i % 4]}');\n")
    f.write("COMMIT;\n")

fuel_query = ("SELECT DISTINCT UZA_ID, UZA_MEGNEV, UZA.UZANEV FROM UZA_APEH\n"
              "INNER JOIN UZA ON (UZA_APEH.UZA_ID = UZA.UZAID)\nWHERE (UZA_ID > 0);\n")
for name, write in (("lookups", False), ("inserts", True)):
    with open(f"{work}/{name}.sql", "w", encoding="cp1250") as f:
        f.write("SET HEADING OFF;\n" + fuel_query)
        for month in range(1, 13):
            date = f"2018-{month:02d}-01"
            for i in range(1, fuels + 1):
                f.write(f"SELECT UZAAR FROM UZAAR WHERE UZAID = {i} AND DATUM = '{date}';\n")
                if write:
                    price = prices[month][i % 4]
                    f.write("INSERT INTO UZAAR (UZAID, DATUM, UZAAR, JELLEG, UZANEV, MEGJ)\n"
                            f"VALUES ({i}, '{date}', {price}, 'AA', 'Üzemanyag {i}', 'NAV ÁR');\n"
                            "COMMIT;\n")
PY

for route in "${routes[@]}"; do
  db="$work/$route.fdb"
  echo "CREATE DATABASE '$db' USER 'SYSDBA' DEFAULT CHARACTER SET WIN1250;" | isql-fb -q
  chmod 666 "$db"
  isql-fb -q -user SYSDBA -i testdata/host_schema.sql "$db"
  isql-fb -q -user SYSDBA -ch WIN1250 -i "$work/setup.sql" "$db"
  if [ "$route" = server ]; then
    ours="$bench $page $db SYSDBA $password $server"
    isql="isql-fb -q -user SYSDBA -password $password -role TCP -ch WIN1250 $server:$db"
  else
    ours="$bench $page $db SYSDBA $password"
    isql="isql-fb -q -user SYSDBA -ch WIN1250 $db"
  fi
  clear="echo 'DELETE FROM UZAAR; COMMIT;' | $isql >/dev/null"

  echo "== $route: $fuels fuel types, $((fuels * 12)) lookups =="
  $ours
  hyperfine --runs "$runs" --style basic --export-json "$work/$route-none.json" \
    -n reconcile "$ours" -n isql-fb "$isql -i $work/lookups.sql >/dev/null"
  hyperfine --runs "$runs" --style basic --export-json "$work/$route-insert.json" \
    --prepare "$clear" \
    -n reconcile "$ours" -n isql-fb "$isql -i $work/inserts.sql >/dev/null"
  rows=$(echo "SELECT COUNT(*) FROM UZAAR;" | $isql | tr -dc 0-9)
  [ "$rows" = $((fuels * 12)) ] || { echo "expected $((fuels * 12)) rows, found $rows" >&2; exit 1; }
done

python3 - "$work" "${routes[@]}" <<'PY'
import json, sys
work, routes = sys.argv[1], sys.argv[2:]
print()
print(f"{'route':9} {'run':15} {'reconcile':>11} {'isql-fb':>11} {'ratio':>7}")
for route in routes:
    for kind, label in (("none", "nothing to do"), ("insert", "6,000 inserts")):
        runs = {r["command"]: r["mean"] for r in json.load(open(f"{work}/{route}-{kind}.json"))["results"]}
        ours, isql = runs["reconcile"], runs["isql-fb"]
        print(f"{route:9} {label:15} {ours:10.3f}s {isql:10.3f}s {ours / isql:7.2f}")
print("ratio = reconcile time / isql-fb time (target: at most 1)")
PY
