#!/usr/bin/env bash
# The main job as far as the pump is built: builds the project, sets up the
# embedded SQLite inventory database with its ODBC data source and a pump
# folder configured for it, generates a few inventory reports as agents write
# them, compresses them into HE3 streams in the pump's incoming folder, and
# checks that every stream decompresses back to its report byte for byte.
#   scripts/demo.sh [COUNT]     COUNT reports (default 5), everything under demo/
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-5}
bin=build/bin
work=demo/he3

echo "== Building in build/"
# The same configuration as scripts/test.sh, so running both builds once.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLBI_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
echo "   built $bin/kolbipump, $bin/kolbidb, $bin/he3 and $bin/kolbi-agent-sim"

rm -rf demo
mkdir -p "$work/incoming" "$work/decompressed" demo/pump

echo "== Setting up the SQLite inventory database"
# The data source goes into a demo odbc.ini, so the user's own is left alone.
export ODBCINI=$PWD/demo/odbc.ini
"$bin/kolbidb" create --sqlite "$PWD/demo/inventory.db" --dsn KolbiDemo | sed 's/^/   /'
"$bin/kolbidb" check --dsn KolbiDemo | sed 's/^/   /'
# The pump reads KolbiPumps.ini from its own folder and logs there.
cp "$bin/kolbipump" demo/pump/
cat > demo/pump/KolbiPumps.ini <<INI
[DataBase]
DsnEntry=KolbiDemo
SqlDateFormat=DD-MM-YYYY

[SoftInventory]
Refresh=1
incomingFilesPath=$PWD/$work/incoming
LogError=yes
INI
echo "   pump folder demo/pump/ (kolbipump + KolbiPumps.ini, incoming folder $work/incoming/)"

echo "== Generating $count inventory reports in $work/reports/"
"$bin/kolbi-agent-sim" --workstations "$count" --products 120 --seed 2026 --plain \
    --out "$work/reports" >/dev/null

echo "== Compressing, decompressing and comparing"
printf '   %-22s %10s %10s %7s\n' report plain HE3 ratio
total_plain=0
total_packed=0
failures=0
for report in "$work"/reports/*.SILog; do
    name=$(basename "$report")
    "$bin/he3" compress "$report" "$work/incoming/$name"
    "$bin/he3" decompress "$work/incoming/$name" "$work/decompressed/$name"
    plain=$(stat -c %s "$report")
    packed=$(stat -c %s "$work/incoming/$name")
    total_plain=$((total_plain + plain))
    total_packed=$((total_packed + packed))
    if cmp -s "$report" "$work/decompressed/$name"; then
        verdict=identical
    else
        verdict=DIFFERENT
        failures=$((failures + 1))
    fi
    printf '   %-22s %10d %10d %6d%%  %s\n' "$name" "$plain" "$packed" \
        $((100 * packed / plain)) "$verdict"
done
printf '   %-22s %10d %10d %6d%%\n' total "$total_plain" "$total_packed" \
    $((100 * total_packed / total_plain))

streams=("$work"/incoming/*.SILog)
first=${streams[0]}
echo "== he3 info $first (first lines)"
# sed reads to the end, so he3 never writes into a closed pipe.
"$bin/he3" info "$first" | sed -n '1,8s/^/   /p'

if [ "$failures" -ne 0 ]; then
    echo "FAILED: $failures of $count reports did not come back identical" >&2
    exit 1
fi
echo "OK: $count reports compressed into the pump's incoming folder and checked"
echo "   watch the pump's screen with: ODBCINI=$ODBCINI demo/pump/kolbipump -s"
echo "   plain reports in $work/reports/, streams in $work/incoming/," \
    "decompressed in $work/decompressed/"
