#!/usr/bin/env bash
# The pipeline benchmark: the pump's whole processing (decoding, reading,
# catalogue, reconciliation, ODBC inventory, database writes) over simulated
# networks of several sizes, on SQLite (WAL) and on PostgreSQL with fsync and
# synchronous_commit on, beside its ceiling and a script peer measured in the
# same run.
#
#   bench/pipeline.sh [options]
#
#   --sizes LIST       workstations per network (default 300,2000,20000)
#   --workstations K   one network: --sizes K
#   --pg-sizes LIST    the networks PostgreSQL runs (default: those of --sizes
#                      up to 2,000)
#   --only sqlite|postgresql
#   --products N       product lines per report (default 200)
#   --seed S           the agents' network (default 2026)
#   --build-dir DIR    take the programs of DIR/bin as they are; by default
#                      they are built in build-release/ (Release)
#   --keep             keep the work folder under /tmp
#
# For each network: round 1, the first inventories of its workstations, then
# round 2, in which 2% of every workstation's products changed. Each round is
# run on four databases kept in step:
#   pump   kolbipump-once, timed: reports/s, peak memory
#   trace  kolbipump-once --trace: the statements the pump sends, with values
#   bare   bench/pipeline/bare_loop replays that trace through the same driver,
#          prepared once and nothing else: the ceiling
#   peer   bench/pipeline/batched_peer.py: the same database work as a Python
#          script with a product cache and executemany, through the same
#          driver, given the reports already read (report_digest, outside
#          its time): it neither decodes nor parses
# Round 1 runs in two batches (a quarter of the workstations, then the rest),
# so its two peak memories show whether memory grows with the reports.
# The table counts of the pump's, the bare loop's and the peer's databases
# must agree: the bare loop's differing stops the run, the peer's marks its
# line with "!" and makes the exit status 1.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib/postgresql.sh

usage() {
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

sizes=300,2000,20000
pg_sizes=
only=
products=200
seed=2026
build_dir=
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --sizes | --pg-sizes | --workstations)
            [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+(,[0-9]+)*$ ]] || usage
            if [ "$1" = --pg-sizes ]; then pg_sizes=$2; else sizes=$2; fi
            shift 2
            ;;
        --only)
            [ $# -ge 2 ] && [[ $2 =~ ^(sqlite|postgresql)$ ]] || usage
            only=$2
            shift 2
            ;;
        --products | --seed)
            [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage
            printf -v "${1#--}" '%s' "$2"
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
IFS=, read -r -a sqlite_sizes <<<"$sizes"
if [ -n "$pg_sizes" ]; then
    IFS=, read -r -a postgresql_sizes <<<"$pg_sizes"
else
    postgresql_sizes=()
    for k in "${sqlite_sizes[@]}"; do
        if [ "$k" -le 2000 ]; then postgresql_sizes+=("$k"); fi
    done
fi
case "$only" in
    sqlite) postgresql_sizes=() ;;
    postgresql) sqlite_sizes=() ;;
esac
for k in "${sqlite_sizes[@]}" "${postgresql_sizes[@]}"; do
    if [ "$k" -lt 4 ]; then
        echo "pipeline: at least 4 workstations" >&2
        exit 2
    fi
done
peer_python=/usr/bin/python3 # Debian's, with python3-pyodbc
if ! "$peer_python" -c 'import pyodbc' 2>/dev/null; then
    echo "pipeline: the peer needs python3-pyodbc (scripts/install-deps.sh)" >&2
    exit 2
fi

targets=(kolbipump-once kolbi-agent-sim kolbidb he3 bare_loop report_digest kolbi_getdate)
if [ -z "$build_dir" ]; then
    build_dir=build-release
    echo "== Building in $build_dir (Release)"
    build_log=$(mktemp)
    if ! { cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DKOLBI_TESTS=OFF \
            -DKOLBI_BENCHMARKS=ON &&
        cmake --build "$build_dir" -j2 --target "${targets[@]}"; } >"$build_log" 2>&1; then
        cat "$build_log" >&2
        exit 1
    fi
    rm -f "$build_log"
fi
bin=$(cd "$build_dir" && pwd)/bin
for tool in kolbipump-once kolbi-agent-sim kolbidb he3 bare_loop report_digest; do
    if [ ! -x "$bin/$tool" ]; then
        echo "pipeline: no $bin/$tool" >&2
        exit 2
    fi
done
peer=("$peer_python" "$PWD/bench/pipeline/batched_peer.py")

work=$(mktemp -d /tmp/kolbi-pipeline.XXXXXX)
# The PostgreSQL cluster runs as the user postgres when started by root.
chmod 755 "$work"
pg_dir=
cleanup() {
    if [ -n "$pg_dir" ]; then scripts/pg-scratch.sh stop "$pg_dir" >/dev/null 2>&1 || true; fi
    if [ "$keep" = 1 ]; then echo "pipeline: work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
export ODBCINI=$work/odbc.ini
: >"$ODBCINI"
peer_differs=0

# The reports of a network of K workstations, made once for both databases:
# round 1 in two batches (round1a, round1b) and round 2, each also read by
# report_digest for the peer (BATCH.digest). The peer's reports are the
# same ones written plain by the simulator (the same seed gives the same
# reports), which is much faster than decompressing them one by one.
make_network() { # K
    local k=$1 net=$work/net$1 round batch
    [ -d "$net" ] && return 0
    echo "== Generating $k workstations x $products product lines, two rounds"
    for round in 1 2; do
        "$bin/kolbi-agent-sim" --workstations "$k" --products "$products" \
            --round "$round" --churn 2 --seed "$seed" --out "$net/round$round" >/dev/null
        "$bin/kolbi-agent-sim" --workstations "$k" --products "$products" --plain \
            --round "$round" --churn 2 --seed "$seed" --out "$net/plain/round$round" >/dev/null
    done
    mkdir -p "$net/round1a" "$net/round1b"
    local reports=("$net/round1"/*.SILog)
    mv -t "$net/round1a" "${reports[@]:0:k/4}"
    mv -t "$net/round1b" "${reports[@]:k/4}"
    rmdir "$net/round1"
    for batch in round1a round1b round2; do
        (cd "$net/$batch" && ls) | sort | sed "s|^|$net/plain/${batch%[ab]}/|" |
            "$bin/report_digest" "$net/$batch.digest"
    done
    rm -rf "$net/plain"
}

# A pump folder: kolbipump-once reads KolbiPumps.ini beside itself.
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

# The databases of one network on one kind: pump, trace, bare, peer, and
# pump folders that only count what the bare loop's and the peer's hold.
setup_run() { # kind K -> dir in REPLY
    local kind=$1 k=$2 dir=$work/$1-$2 role
    mkdir -p "$dir"
    for role in pump trace bare peer; do
        local dsn=bench_${kind}_${k}_$role
        if [ "$kind" = sqlite ]; then
            "$bin/kolbidb" create --sqlite "$dir/$role.db" --dsn "$dsn" >/dev/null
        else
            pg_add_database "$dsn"
        fi
    done
    make_pump "$dir/pump" "bench_${kind}_${k}_pump"
    make_pump "$dir/trace" "bench_${kind}_${k}_trace"
    make_pump "$dir/count-bare" "bench_${kind}_${k}_bare"
    make_pump "$dir/count-peer" "bench_${kind}_${k}_peer"
    REPLY=$dir
}

# One batch of reports through the four databases.
run_batch() { # kind K dir batch
    local kind=$1 k=$2 dir=$3 batch=$4 net=$work/net$2
    local out=$dir/$batch
    mkdir -p "$out"
    local role
    for role in pump trace; do cp "$net/$batch"/*.SILog "$dir/$role/incoming/"; done
    "$dir/pump/kolbipump-once" --quiet >"$out/pump.txt"
    "$dir/trace/kolbipump-once" --quiet --trace "$out/statements.trace" >"$out/trace.txt"
    "$bin/bare_loop" "DSN=bench_${kind}_${k}_bare" "$out/statements.trace" >"$out/bare.txt"
    rm -f "$out/statements.trace"
    "${peer[@]}" "DSN=bench_${kind}_${k}_peer" "$net/$batch.digest" >"$out/peer.txt"
    # A pump with nothing to do only prints what the database holds.
    "$dir/count-bare/kolbipump-once" --quiet >"$out/count-bare.txt"
    "$dir/count-peer/kolbipump-once" --quiet >"$out/count-peer.txt"
    local pump_counts
    pump_counts=$(counts "$out/pump.txt")
    if [ -z "$pump_counts" ] || [ "$pump_counts" != "$(counts "$out/count-bare.txt")" ]; then
        echo "pipeline: after $batch of $k on $kind the bare loop's database differs from the pump's:" >&2
        echo "  pump: $pump_counts" >&2
        echo "  bare: $(counts "$out/count-bare.txt")" >&2
        exit 1
    fi
    : >"$out/peer-differs"
    if [ "$pump_counts" != "$(counts "$out/count-peer.txt")" ]; then
        echo "pipeline: WARNING: after $batch of $k on $kind the peer's database differs from the pump's:" >&2
        echo "  pump: $pump_counts" >&2
        echo "  peer: $(counts "$out/count-peer.txt")" >&2
        echo 1 >"$out/peer-differs"
        peer_differs=1
    fi
    if grep -q '([1-9][0-9]* failed)' "$out/bare.txt" "$out/peer.txt"; then
        echo "pipeline: warning: $(cat "$out/bare.txt" "$out/peer.txt")" >&2
    fi
    return 0
}

results=$work/results
{
    printf '%8s  %-10s  %-5s  %8s  %8s  %8s  %7s  %7s  %11s  %9s\n' stations database round \
        "pump r/s" "bare r/s" "peer r/s" pump/bare pump/peer "peak MiB" "stmts/rep"
} >"$results"

# One line of the table from the outputs of one or more batches.
report() { # K kind round out-folder...
    local k=$1 kind=$2 round=$3
    shift 3
    local files=() out
    for out in "$@"; do
        files+=("$out/pump.txt" "$out/bare.txt" "$out/peer.txt" "$out/peer-differs")
    done
    awk -v k="$k" -v kind="$kind" -v round="$round" '
        FILENAME ~ /pump.txt$/ && / report\(s\) in / { reports += $1; seconds += $4 }
        FILENAME ~ /pump.txt$/ && /^peak memory/ {
            peak = peak == "" ? sprintf("%.1f", $3 / 1024) : peak "/" sprintf("%.1f", $3 / 1024)
        }
        FILENAME ~ /bare.txt$/ { bare += $(NF - 1); statements += $3 }
        FILENAME ~ /peer.txt$/ { peer += $(NF - 1); peer_statements += $(NF - 4) }
        FILENAME ~ /peer-differs$/ && $1 == 1 { differs = "!" }
        END {
            rate = reports / seconds; bare_rate = reports / bare; peer_rate = reports / peer
            printf "%8d  %-10s  %-5s  %8.1f  %8.1f  %7.1f%1s  %8.2fx  %6.2fx  %11s  %4.0f/%-4.0f\n", \
                k, kind, round, rate, bare_rate, peer_rate, differs, rate / bare_rate, \
                rate / peer_rate, peak, statements / reports, peer_statements / reports
        }' "${files[@]}" >>"$results"
}

run_network() { # kind K
    local kind=$1 k=$2 dir
    make_network "$k"
    setup_run "$kind" "$k"
    dir=$REPLY
    echo "== $kind, $k workstations: round 1 (first inventories), round 2 (2% churn)"
    run_batch "$kind" "$k" "$dir" round1a
    run_batch "$kind" "$k" "$dir" round1b
    report "$k" "$kind" 1 "$dir/round1a" "$dir/round1b"
    run_batch "$kind" "$k" "$dir" round2
    report "$k" "$kind" 2 "$dir/round2"
    # The next network needs the disk more than these databases.
    if [ "$keep" = 0 ]; then rm -f "$dir"/*.db "$dir"/*.db-wal "$dir"/*.db-shm; fi
}

for k in "${sqlite_sizes[@]}"; do run_network sqlite "$k"; done
if [ "${#postgresql_sizes[@]}" -gt 0 ]; then
    pg_start "$work/pg"
    pg_require_durable
    echo "== $(pg_durability)"
    for k in "${postgresql_sizes[@]}"; do run_network postgresql "$k"; done
fi

echo
cat "$results"
cat <<'NOTE'
r/s: reports per second. pump: kolbipump-once, decoding and parsing included; bare: the
pump's own statements replayed, prepared once, nothing else (the ceiling); peer: the same
database work in Python with a product cache and executemany, the reports already read.
Round 1: first inventories; round 2: 2% of each workstation's products changed. Peak MiB:
per pump process (round 1: a quarter of the workstations / the rest). stmts/rep: statements
per report, the pump's / the peer's (an executemany counts once). "!": the peer's table
counts differ from the pump's.
NOTE
exit "$peer_differs"
