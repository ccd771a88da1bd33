#!/usr/bin/env bash
# The main job on the embedded default database: builds the project, sets up
# an SQLite inventory with its ODBC data source and a pump folder configured
# for it, lets a few hundred simulated workstation agents drop their HE3
# reports into the pump's incoming folder, runs the pump until the queue is
# empty, then runs a second round in which some products were installed and
# removed on the workstations, and prints what reached the database.
#   scripts/demo.sh [WORKSTATIONS]     default 300; everything goes under demo/
set -euo pipefail
cd "$(dirname "$0")/.."

workstations=${1:-300}
bin=build/bin
incoming=$PWD/demo/incoming

echo "== Building in build/"
# The same configuration as scripts/test.sh, so running both builds once.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLBI_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
echo "   built $bin/kolbipump, $bin/kolbipump-once, $bin/kolbidb and $bin/kolbi-agent-sim"

rm -rf demo
mkdir -p "$incoming" demo/pump

echo "== Setting up the SQLite inventory database"
# The data source goes into a demo odbc.ini, so the user's own is left alone.
export ODBCINI=$PWD/demo/odbc.ini
"$bin/kolbidb" create --sqlite "$PWD/demo/inventory.db" --dsn KolbiDemo | sed 's/^/   /'
# The pump reads KolbiPumps.ini from its own folder and logs there;
# kolbipump-once does the same, so both go into the pump folder.
cp "$bin/kolbipump" "$bin/kolbipump-once" demo/pump/
# The INI file may hold the database password: the pump's user's alone.
install -m 600 /dev/null demo/pump/KolbiPumps.ini
cat > demo/pump/KolbiPumps.ini <<INI
[DataBase]
DsnEntry=KolbiDemo
SqlDateFormat=DD-MM-YYYY

[SoftInventory]
Refresh=1
incomingFilesPath=$incoming
LogError=yes
INI
echo "   pump folder demo/pump/, incoming folder demo/incoming/"

run_round() {
    local round=$1 what=$2
    echo "== Round $round: $workstations agents drop their reports ($what)"
    "$bin/kolbi-agent-sim" --workstations "$workstations" --round "$round" --churn 2 \
        --seed 2026 --out "$incoming" | sed 's/^/   /'
    echo "== Round $round: the pump takes the queue"
    demo/pump/kolbipump-once --quiet | sed 's/^/   /'
}

run_round 1 "first inventories"
run_round 2 "2% of the products installed and removed since round 1"

if compgen -G "demo/pump/*.log" >/dev/null; then
    echo "== The pump's error log"
    sed 's/^/   /' demo/pump/*.log
fi
if compgen -G "$incoming/*.SILog" >/dev/null; then
    echo "FAILED: reports left in the incoming folder" >&2
    exit 1
fi
echo "OK: both rounds are in demo/inventory.db (sqlite3 demo/inventory.db to look; the pump"
echo "    matches names by the *_Key columns: SELECT * FROM Postes WHERE Poste_Nom_Key = 'pc042')."
echo "   To watch the pump work on its status screen, drop a round and press s:"
echo "   $bin/kolbi-agent-sim --workstations $workstations --round 3 --seed 2026 --out $incoming"
echo "   ODBCINI=$ODBCINI demo/pump/kolbipump -s"
