#!/usr/bin/env bash
# Several pumps on one PostgreSQL database: 1, 2 and 4 kolbipump-once, each
# with its own drop folder and KolbiPumps.ini, all writing one database on a
# server that runs with fsync and synchronous_commit on.
#
#   bench/multi_pump.sh [options]
#
#   --workstations K   workstations of the network (default 300)
#   --products N       product lines per report (default 200)
#   --pumps LIST       the numbers of pumps to run (default 1,2,4)
#   --seed S           the agents' network (default 2026)
#   --build-dir DIR    take the programs of DIR/bin as they are; by default
#                      they are built in build/
#   --keep             keep the work folder under /tmp
#
# For each number of pumps P, on a database of its own: round 1 (first
# inventories), then round 2 (2% of each workstation's products changed).
# The reports of a round are dealt out to the P drop folders in turn, in name
# order, and the P pumps started together: every report of the network draws
# on one catalogue, so in round 1 the same new product names reach the pumps
# at once, and in round 2 the new names of the churn do. Printed per round:
# the aggregate reports/s (all reports / the time until the last pump ended),
# the error-log lines (Error level) and the reports left on disk, then what
# the database holds against what kolbi-agent-sim's manifest says it must:
#   SoftProduct rows stored twice by SOFTPRODUCT_PRODUCT_Key, and the
#     catalogue's size against the product names of the rounds so far
#   Postes rows stored twice by Poste_Nom_Key
#   links (PosteSoftware) against the sum of the reports' products, links
#     stored twice
#   change alerts against the products added and removed in round 2
# Exit status: 0 when every check holds, 1 when one does not (a table of
# "FAIL" lines says which), 2 wrong usage or a set-up that failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib/postgresql.sh

usage() {
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

workstations=300
products=200
pumps_list=1,2,4
seed=2026
build_dir=
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --workstations | --products | --seed)
            [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage
            printf -v "${1#--}" '%s' "$2"
            shift 2
            ;;
        --pumps)
            [ $# -ge 2 ] && [[ $2 =~ ^[1-9][0-9]*(,[1-9][0-9]*)*$ ]] || usage
            pumps_list=$2
            shift 2
            ;;
        --build-dir)
            [ $# -ge 2 ] || usage
            build_dir=$2
            shift 2
            ;;
        --keep) keep=1; shift ;;
        *) usage ;;
    esac
done
IFS=, read -r -a pump_counts <<<"$pumps_list"

if [ -z "$build_dir" ]; then
    build_dir=build
    echo "== Building in build/"
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    build_log=$(mktemp)
    if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLBI_WERROR=ON \
            "${launcher[@]}" &&
        cmake --build build -j2 --target kolbipump-once kolbidb kolbi-agent-sim; } \
        >"$build_log" 2>&1; then
        cat "$build_log" >&2
        rm -f "$build_log"
        exit 2
    fi
    rm -f "$build_log"
fi
bin=$(cd "$build_dir" && pwd)/bin
for tool in kolbipump-once kolbidb kolbi-agent-sim; do
    if [ ! -x "$bin/$tool" ]; then
        echo "multi_pump: no $bin/$tool" >&2
        exit 2
    fi
done

work=$(mktemp -d /tmp/kolbi-multi.XXXXXX)
# The PostgreSQL cluster runs as the user postgres when started by root.
chmod 755 "$work"
pg_dir=
pump_pids=()
cleanup() {
    # Only what this script started: pumps still running after a failure.
    local pid
    for pid in "${pump_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -n "$pg_dir" ]; then scripts/pg-scratch.sh stop "$pg_dir" >/dev/null 2>&1 || true; fi
    if [ "$keep" = 1 ]; then echo "multi_pump: work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
export ODBCINI=$work/odbc.ini
: >"$ODBCINI"

echo "== Generating $workstations workstations x $products product lines, two rounds"
for round in 1 2; do
    "$bin/kolbi-agent-sim" --workstations "$workstations" --products "$products" --round "$round" \
        --churn 2 --seed "$seed" --out "$work/gen/round$round" \
        --manifest "$work/gen/round$round.manifest" >/dev/null
done
# What the database must hold after each round, from the manifests.
expect() { # round -> "names links alerts" in REPLY
    REPLY=$(awk -F'\t' -v round="$1" '
        FILENAME ~ /round1/ && $1 == "product" { names[$2] = 1 }
        FILENAME ~ /round2/ && $1 == "product" && round == 2 { names[$2] = 1 }
        FILENAME ~ ("round" round) && $1 == "report" { links += $6 }
        FILENAME ~ ("round" round) && ($1 == "added" || $1 == "removed") { alerts++ }
        END { printf "%d %d %d", length(names), links, alerts }' \
        "$work/gen/round1.manifest" "$work/gen/round2.manifest")
}

pg_start "$work/pg"
pg_require_durable
echo "== $(pg_durability)"

query() { # database SQL
    "${psql[@]}" -U kolbi -d "$1" -tA -c "$2"
}

results=$work/results
checks=$work/checks
printf '%5s  %5s  %7s  %8s  %9s  %6s  %4s  %10s  %10s  %13s  %11s\n' pumps round reports seconds \
    "reports/s" errors left "dup prod" "dup poste" links alerts >"$results"
: >"$checks"
status=0

check() { # label actual expected
    if [ "$2" != "$3" ]; then
        printf 'FAIL  %s: %s, expected %s\n' "$1" "$2" "$3" >>"$checks"
        status=1
    fi
}

run_round() { # P database round
    local p=$1 db=$2 round=$3 i files
    files=("$work/gen/round$round"/*.SILog)
    for ((i = 0; i < ${#files[@]}; ++i)); do
        cp "${files[i]}" "$work/p$p/pump$((i % p))/incoming/"
    done
    # The error logs go on from round to round: only this round's lines count.
    local logged=()
    for ((i = 0; i < p; ++i)); do
        logged[i]=$({ cat "$work/p$p/pump$i"/kolbipump-once-*.log 2>/dev/null || true; } | wc -l)
    done
    local start end
    start=$(date +%s.%N)
    pump_pids=()
    for ((i = 0; i < p; ++i)); do
        (
            cd "$work/p$p/pump$i"
            code=0
            ./kolbipump-once --quiet >"run$round.txt" 2>&1 || code=$?
            echo "$code" >"status$round"
        ) &
        pump_pids+=($!)
    done
    wait "${pump_pids[@]}" || true
    pump_pids=()
    end=$(date +%s.%N)
    local errors left=0 n
    : >"$work/errors-$p-$round.txt"
    for ((i = 0; i < p; ++i)); do
        local folder=$work/p$p/pump$i
        cat "$folder"/kolbipump-once-*.log 2>/dev/null | tail -n +"$((logged[i] + 1))" |
            grep '^Error' >>"$work/errors-$p-$round.txt" || true

        n=$({ find "$folder/incoming" "$folder/FAILED" -type f -iname '*.silog' 2>/dev/null ||
            true; } | wc -l)
        left=$((left + n))
        check "$p pumps, round $round, pump $i exit status" "$(cat "$folder/status$round")" 0
        if [ "$(cat "$folder/status$round")" != 0 ]; then
            echo "   pump $i: $(tail -n 1 "$folder/run$round.txt")"
        fi
    done
    errors=$(wc -l <"$work/errors-$p-$round.txt")
    if [ "$errors" -gt 0 ]; then
        # What went wrong, by kind: the description up to its first colon, and the statement.
        sed -e 's/.*Error Description: //' -e 's/\(Cannot run [A-Z]* [^ ]*\).*\(SQLSTATE [0-9A-Z]*\).*/\1 ... \2/' \
            -e 's/\(Row cannot be located for updating\).*\(record set of [^)]*\).*/\1 (\2)/' \
            "$work/errors-$p-$round.txt" | cut -c1-110 | sort | uniq -c | sort -rn | head -n 5 |
            sed "s/^/   round $round, error log: /"
    fi
    expect "$round"
    local names links alerts
    read -r names links alerts <<<"$REPLY"
    local dup_prod dup_poste stored_names stored_links dup_links stored_alerts catalogue
    dup_prod=$(query "$db" "SELECT count(*) FROM (SELECT 1 FROM SoftProduct
        GROUP BY SOFTPRODUCT_PRODUCT_Key HAVING count(*) > 1) d")
    catalogue=$(query "$db" "SELECT count(*) FROM SoftProduct")
    stored_names=$(query "$db" "SELECT count(DISTINCT SOFTPRODUCT_PRODUCT_Key) FROM SoftProduct")
    dup_poste=$(query "$db" "SELECT count(*) FROM (SELECT 1 FROM Postes
        GROUP BY Poste_Nom_Key HAVING count(*) > 1) d")
    stored_links=$(query "$db" "SELECT count(*) FROM PosteSoftware")
    dup_links=$(query "$db" "SELECT count(*) - (SELECT count(*) FROM (SELECT DISTINCT
        PosteSoft_PosteID, PosteSoft_ProductID FROM PosteSoftware) d) FROM PosteSoftware")
    stored_alerts=$(query "$db" "SELECT count(*) FROM Changement")
    awk -v p="$p" -v round="$round" -v reports="${#files[@]}" -v start="$start" -v end="$end" \
        -v errors="$errors" -v left="$left" -v dp="$dup_prod/$catalogue" \
        -v dq="$dup_poste" -v links="$stored_links/$links" -v alerts="$stored_alerts/$alerts" \
        'BEGIN { s = end - start
                 printf "%5d  %5d  %7d  %8.2f  %9.1f  %6d  %4d  %10s  %10s  %13s  %11s\n",
                     p, round, reports, s, reports / s, errors, left, dp, dq, links, alerts }' \
        >>"$results"
    local label="$p pumps, round $round"
    check "$label, error-log lines" "$errors" 0
    check "$label, reports left on disk" "$left" 0
    check "$label, product names stored twice" "$dup_prod" 0
    check "$label, catalogue rows" "$catalogue" "$names"
    check "$label, distinct product names" "$stored_names" "$names"
    check "$label, workstation names stored twice" "$dup_poste" 0
    check "$label, links" "$stored_links" "$links"
    check "$label, links stored twice" "$dup_links" 0
    check "$label, change alerts" "$stored_alerts" "$alerts"
}

for p in "${pump_counts[@]}"; do
    db=multi_$p
    pg_add_database "$db"
    for ((i = 0; i < p; ++i)); do
        folder=$work/p$p/pump$i
        mkdir -p "$folder/incoming"
        cp "$bin/kolbipump-once" "$folder/"
        cat >"$folder/KolbiPumps.ini" <<INI
[DataBase]
DsnEntry=$db
SqlDateFormat=DD-MM-YYYY

[SoftInventory]
Refresh=1
incomingFilesPath=$folder/incoming
LogError=yes
INI
    done
    echo "== $p pump(s), one database"
    run_round "$p" "$db" 1
    run_round "$p" "$db" 2
done

echo
cat "$results"
cat <<'NOTE'
reports/s: all reports of the round / the time until the last pump ended. errors: Error
lines of the pumps' error logs. left: reports still on disk (queue or FAILED). dup prod:
product names stored more than once / catalogue rows; dup poste: workstation names stored
more than once; links and alerts: stored / what the manifests say.
NOTE
if [ -s "$checks" ]; then
    echo
    cat "$checks"
else
    echo "every check holds"
fi
exit "$status"
