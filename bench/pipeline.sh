#!/usr/bin/env bash
# The pipeline benchmark: the pump's whole processing (decoding, reading,
# catalogue, reconciliation, ODBC inventory, database writes) over simulated
# workstations, on SQLite (WAL) and on PostgreSQL with fsync and
# synchronous_commit on, beside its ceiling measured in the same run.
#
#   bench/pipeline.sh [--workstations K] [--products N] [--seed S] [--only sqlite|postgresql]
#
# For each database: first inventories of K workstations with N product lines
# each, then a steady-state round in which 2% of every workstation's products
# changed. Each phase is run three times on three databases kept in step:
#   pump   kolbipump-once, timed: reports/s, product lines/s, peak memory
#   trace  kolbipump-once --trace: the statements the pump sends, with their values
#   bare   bench/pipeline/bare_loop replays that trace through the same driver,
#          prepared once and nothing else: the ceiling
# and the pump's rate is given as a share of the bare loop's. The first
# inventories run in two batches (a quarter, then the rest), so their peak
# memories show whether memory grows with the number of reports.
# The table counts of the pump's and the bare loop's databases must agree.
set -euo pipefail
cd "$(dirname "$0")/.."

workstations=300
products=200
seed=2026
only=
while [ $# -gt 0 ]; do
    case "$1" in
        --workstations) workstations=$2; shift 2 ;;
        --products) products=$2; shift 2 ;;
        --seed) seed=$2; shift 2 ;;
        --only) only=$2; shift 2 ;;
        *) sed -n '2,20s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
    esac
done
if [ "$workstations" -lt 4 ]; then
    echo "pipeline: at least 4 workstations" >&2
    exit 2
fi

build_dir=${BUILD_DIR:-build-release}
echo "== Building in $build_dir (Release)"
build_log=$(mktemp)
if ! { cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DKOLBI_TESTS=OFF \
        -DKOLBI_BENCHMARKS=ON &&
    cmake --build "$build_dir" -j2 --target kolbipump-once kolbi-agent-sim kolbidb bare_loop \
        kolbi_getdate; } >"$build_log" 2>&1; then
    cat "$build_log" >&2
    exit 1
fi
rm -f "$build_log"
bin=$PWD/$build_dir/bin

work=$(mktemp -d /tmp/kolbi-pipeline.XXXXXX)
# The PostgreSQL cluster runs as the user postgres when started by root.
chmod 755 "$work"
pg_dir=
cleanup() {
    if [ -n "$pg_dir" ]; then scripts/pg-scratch.sh stop "$pg_dir" >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
export ODBCINI=$work/odbc.ini
: >"$ODBCINI"

echo "== Generating $workstations workstations x $products product lines, two rounds"
first_batch=$((workstations / 4))
for round in 1 2; do
    "$bin/kolbi-agent-sim" --workstations "$workstations" --products "$products" \
        --round "$round" --churn 2 --seed "$seed" --out "$work/round$round" >/dev/null
done
# Round 1 in two batches: the first quarter of the workstations, then the rest.
mkdir -p "$work/round1a" "$work/round1b"
reports=("$work/round1"/*.SILog)
mv -t "$work/round1a" "${reports[@]:0:first_batch}"
mv -t "$work/round1b" "${reports[@]:first_batch}"

# A pump folder per database: kolbipump-once reads KolbiPumps.ini beside itself.
make_pump() { # folder dsn
    mkdir -p "$1/incoming"
    cp "$bin/kolbipump-once" "$1/"
    cat >"$1/KolbiPumps.ini" <<INI
[DataBase]
DsnEntry=$2
SqlDateFormat=DD-MM-YYYY

[SoftInventory]
Refresh=1
incomingFilesPath=$1/incoming
LogError=yes
INI
}

counts() { # pump output -> the table counts on one line
    awk '/\([A-Za-z_]+\)$/ { printf "%s=%s ", $NF, $1 }' "$1"
}

results=$work/results
printf '%-11s %-18s %7s %8s %10s %10s %11s %7s %10s\n' database phase reports seconds \
    reports/s lines/s "bare rep/s" ratio "peak mem" >"$results"

# Runs one batch of reports through the three databases of a kind.
run_batch() { # kind phase source-folder [results-label]
    local kind=$1 phase=$2 source=$3 label=${4:-}
    local dir=$work/$kind out=$work/$kind/$phase
    mkdir -p "$out"
    for role in pump trace; do cp "$source"/*.SILog "$dir/$role/incoming/"; done
    "$dir/pump/kolbipump-once" --quiet >"$out/pump.txt"
    "$dir/trace/kolbipump-once" --quiet --trace "$out/statements.trace" >"$out/trace.txt"
    "$bin/bare_loop" "DSN=bench_${kind}_bare" "$out/statements.trace" >"$out/bare.txt"
    # A pump with nothing to do only prints what the bare loop's database holds.
    "$dir/count/kolbipump-once" --quiet >"$out/count.txt"
    if [ -z "$(counts "$out/pump.txt")" ] ||
        [ "$(counts "$out/pump.txt")" != "$(counts "$out/count.txt")" ]; then
        echo "pipeline: after $phase on $kind the bare loop's database differs from the pump's:" >&2
        echo "  pump: $(counts "$out/pump.txt")" >&2
        echo "  bare: $(counts "$out/count.txt")" >&2
        exit 1
    fi
    if grep -q '([1-9][0-9]* failed)' "$out/bare.txt"; then
        echo "pipeline: warning: $(cat "$out/bare.txt")" >&2
    fi
    [ -n "$label" ] && report "$kind" "$label" "$out"
    return 0
}

# One line of the results from the outputs of one or more batches.
report() { # kind label out-folder...
    local kind=$1 label=$2
    shift 2
    awk -v kind="$kind" -v label="$label" -v products="$products" '
        FILENAME ~ /pump.txt$/ && / report\(s\) in / { reports += $1; seconds += $4 }
        FILENAME ~ /pump.txt$/ && /^peak memory/ {
            peak = peak == "" ? sprintf("%.1f", $3 / 1024) : peak "/" sprintf("%.1f", $3 / 1024)
        }
        FILENAME ~ /bare.txt$/ { bare += $(NF - 1) }
        END {
            rate = reports / seconds; bare_rate = reports / bare
            printf "%-11s %-18s %7d %8.2f %10.1f %10.0f %11.1f %6.2fx %6s MiB\n", kind, label, \
                reports, seconds, rate, rate * products, bare_rate, rate / bare_rate, peak
        }' $(for out in "$@"; do echo "$out/pump.txt $out/bare.txt"; done) >>"$results"
}

run_kind() { # kind
    local kind=$1
    echo "== $kind: first inventories, then the steady state"
    run_batch "$kind" first-a "$work/round1a"
    run_batch "$kind" first-b "$work/round1b"
    report "$kind" "first inventories" "$work/$kind/first-a" "$work/$kind/first-b"
    run_batch "$kind" steady "$work/round2" "steady state (2%)"
}

setup_sqlite() {
    local dir=$work/sqlite
    mkdir -p "$dir"
    for role in pump trace bare; do
        "$bin/kolbidb" create --sqlite "$dir/$role.db" --dsn "bench_sqlite_$role" >/dev/null
    done
    make_pump "$dir/pump" bench_sqlite_pump
    make_pump "$dir/trace" bench_sqlite_trace
    make_pump "$dir/count" bench_sqlite_bare
}

setup_postgresql() {
    pg_dir=$work/pg
    KOLBI_PG_DURABLE=1 scripts/pg-scratch.sh start "$pg_dir" >/dev/null
    # The scratch cluster's own data sources come first in its odbc.ini.
    cat "$pg_dir/odbc.ini" >>"$ODBCINI"
    local driver
    driver=$(awk -F' = ' '/^Driver/ { print $2; exit }' "$pg_dir/odbc.ini")
    local psql=(psql)
    local pg_bin
    for pg_bin in /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
        if [ -x "$pg_bin/psql" ]; then psql=("$pg_bin/psql"); break; fi
    done
    if [ "$(id -u)" -eq 0 ]; then psql=(runuser -u postgres -- "${psql[@]}"); fi
    local dir=$work/postgresql
    for role in pump trace bare; do
        "${psql[@]}" -h "$pg_dir" -U postgres -d postgres -q -v ON_ERROR_STOP=1 \
            -c "CREATE DATABASE bench_$role TEMPLATE kolbi_template OWNER kolbi"
        cat >>"$ODBCINI" <<INI

[bench_postgresql_$role]
Driver = $driver
Servername = $pg_dir
Port = 5432
Database = bench_$role
Username = kolbi
INI
        "$bin/kolbidb" create --dsn "bench_postgresql_$role" >/dev/null
    done
    "${psql[@]}" -h "$pg_dir" -U postgres -d postgres -tA \
        -c "SELECT 'server: fsync=' || current_setting('fsync') || ', synchronous_commit=' ||
                   current_setting('synchronous_commit')"
    make_pump "$dir/pump" bench_postgresql_pump
    make_pump "$dir/trace" bench_postgresql_trace
    make_pump "$dir/count" bench_postgresql_bare
}

if [ "$only" != postgresql ]; then
    setup_sqlite
    run_kind sqlite
fi
if [ "$only" != sqlite ]; then
    setup_postgresql
    run_kind postgresql
fi

echo
cat "$results"
echo "lines/s: product lines (ODBC driver lines not counted); ratio: the pump's rate / the bare"
echo "loop's over the same statements; peak mem: per pump process (first inventories: a"
echo "quarter of the workstations / the rest)"
