#!/usr/bin/env bash
# Times 6,000 stored-price lookups on one prepared SELECT (db_bench, through the
# database layer) against isql-fb running the same 6,000 SELECTs from a script,
# both on the same embedded database. Usage: bench/db.sh [lookups]   (6000 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-6000}
fuels=$((count / 12))
build=build/bench-db
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNETUPDATE_BUILD_GUI=OFF >/dev/null
cmake --build "$build" --target db_bench -j2 >/dev/null
bench=$(find "$build" -name db_bench -type f -executable | head -n 1)

# Every second fuel type has a price for every month, so half the lookups find a row.
db=$work/bench.fdb
isql-fb -q -user SYSDBA >/dev/null <<SQL
CREATE DATABASE '$db' USER 'SYSDBA' PASSWORD 'x' DEFAULT CHARACTER SET WIN1250;
CREATE TABLE UZAAR (UZAID INTEGER, DATUM DATE, UZAAR NUMERIC(15,2), JELLEG VARCHAR(2),
  UZANEV VARCHAR(40), MEGJ VARCHAR(40));
CREATE INDEX UZAAR_UZAID_DATUM ON UZAAR (UZAID, DATUM);
COMMIT;
SET TERM ^;
EXECUTE BLOCK AS
  DECLARE f INTEGER = 2;
  DECLARE m INTEGER;
BEGIN
  WHILE (f <= $fuels) DO BEGIN
    m = 1;
    WHILE (m <= 12) DO BEGIN
      INSERT INTO UZAAR (UZAID, DATUM, UZAAR, JELLEG) VALUES
        (:f, DATEADD(:m - 1 MONTH TO DATE '2018-01-01'), 400 + :f / 100.0, 'AA');
      m = m + 1;
    END
    f = f + 2;
  END
END^
SET TERM ;^
COMMIT;
SQL

script=$work/lookups.sql
for month in $(seq -w 1 12); do
  for fuel in $(seq 1 "$fuels"); do
    echo "SELECT UZAAR FROM UZAAR WHERE UZAID = $fuel AND DATUM = '2018-$month-01';"
  done
done >"$script"

echo "database layer: $("$bench" "$db" "$count")"
hyperfine --warmup 1 --min-runs 5 --style basic --export-json "$work/times.json" \
  -n layer "$bench $db $count" \
  -n isql-fb "isql-fb -q -user SYSDBA -i $script $db"

python3 - "$work/times.json" "$count" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
count = int(sys.argv[2])
layer, isql = runs["layer"]["mean"], runs["isql-fb"]["mean"]
print(f"database layer: {layer * 1000:.0f} ms for {count} lookups ({layer / count * 1e6:.0f} us each, attach included)")
print(f"isql-fb:        {isql * 1000:.0f} ms for {count} SELECTs ({isql / count * 1e6:.0f} us each, attach included)")
print(f"layer time / isql-fb time: {layer / isql:.2f} (target: at most 1)")
PY
