#!/usr/bin/env bash
# The chaos run: does the pump keep every report an agent dropped when it is
# killed at random moments and some agents write their files slowly?
#
#   bench/chaos.sh sqlite|postgresql [options]
#
#   --workstations N   workstations, one report each per round (default 250)
#   --products N       product lines per report (default 200)
#   --kills N          kill -9 of kolbipump-once over both rounds (default 60)
#   --service-kills N  kill -9 of kolbipump -n, one a round at most (default 2);
#                      each costs 30 to 60 s, the wait before its first pass
#   --slow N           slow writers a round (default a tenth of the workstations)
#   --pause S          longest pause of a slow writer between its halves (default 4)
#   --settle S         SettleSeconds written into KolbiPumps.ini (default 10)
#   --churn PERCENT    products installed and removed between rounds (default 2)
#   --seed S           the agents' network and the kills' moments (default 2026)
#   --batches N        batches the other reports of a round arrive in (default 5)
#   --build-dir DIR    take the binaries of DIR/bin as they are; by default
#                      they are built in build/
#   --keep             keep the work folder under /tmp
#
# Round 1 (first inventories), then round 2 (churn): kolbi-agent-sim's reports
# are dropped into the pump's incoming folder, a few of them by slow writers
# (half the bytes under the final name, a pause, the rest) while the pump
# runs; kolbipump-once is started again and again and killed with kill -9
# after random delays (during decoding, during the pass, between reports),
# then run without kills until the queue is empty. Every report is then
# judged against the manifest of the agents: in the database (the
# workstation's links are exactly the report's), on disk (in the incoming
# folder, its incoming subfolder or FAILED), lost (neither), half-applied
# (links that are neither the workstation's previous ones nor the report's,
# or rows stored twice). A run without kills over the same reports on a
# database of its own gives the change alerts round 2 must raise and the
# tables to compare with. PostgreSQL runs as a real server does, with fsync
# and synchronous_commit on.
#
# Exit status: 0 nothing lost nor half-applied and the alerts right, 1
# otherwise, 2 wrong usage, a set-up that failed, or a run without kills that
# does not match the manifests (no verdict). CHAOS_TRACE=1 prints every run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source bench/lib/postgresql.sh

usage() {
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0" >&2
    exit 2
}
fail() {
    echo "chaos: $*" >&2
    exit 2
}

database=${1:-}
case "$database" in
    sqlite | postgresql) shift ;;
    *) usage ;;
esac
workstations=250
products=200
kills=60
service_kills=2
slow=
pause=4
settle=10
churn=2
seed=2026
batches=5
build_dir=
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --workstations | --products | --kills | --service-kills | --slow | --pause | --settle | \
            --churn | --seed | --batches)
            [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage
            name=${1#--}
            printf -v "${name//-/_}" '%s' "$2"
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
[ "$workstations" -ge 2 ] || fail "at least 2 workstations"
slow=${slow:-$((workstations / 10))}
[ "$slow" -le "$workstations" ] || fail "more slow writers than workstations"
[ "$pause" -ge 1 ] || fail "a pause of at least 1 s"
[ "$batches" -ge 1 ] || fail "at least 1 batch"
[ "$service_kills" -le 2 ] || fail "at most 2 service kills, one a round"

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
        cmake --build build -j2 --target kolbipump kolbipump-once kolbidb kolbi-agent-sim \
            kolbi_getdate; } >"$build_log" 2>&1; then
        cat "$build_log" >&2
        rm -f "$build_log"
        exit 2
    fi
    rm -f "$build_log"
fi
bin=$(cd "$build_dir" && pwd)/bin
for tool in kolbipump kolbipump-once kolbidb kolbi-agent-sim; do
    [ -x "$bin/$tool" ] || fail "no $bin/$tool"
done
command -v python3 >/dev/null || fail "python3 is needed to judge"
judge=(python3 "$root/bench/chaos/judge.py")

work=$(mktemp -d /tmp/kolbi-chaos.XXXXXX)
# The PostgreSQL cluster runs as the user postgres when started by root.
chmod 755 "$work"
pg_dir=
writer_pids=()
cleanup() {
    # Only what this script started: the slow writers still writing.
    local pid
    for pid in "${writer_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -n "$pg_dir" ]; then scripts/pg-scratch.sh stop "$pg_dir" >/dev/null 2>&1 || true; fi
    if [ "$keep" = 1 ]; then echo "chaos: work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
export ODBCINI=$work/odbc.ini
: >"$ODBCINI"
RANDOM=$seed

# --- small helpers -----------------------------------------------------------

now_us() { REPLY=${EPOCHREALTIME//[!0-9]/}; }
sleep_ms() { sleep "$(($1 / 1000)).$(printf '%03d' $(($1 % 1000)))"; }
# A random number below $1 in REPLY: no command substitution, whose subshell
# would not move the parent's sequence on.
rand_below() { REPLY=$(((RANDOM << 15 | RANDOM) % $1)); }
# Reports waiting in a queue folder: compressed, or decompressed by the pump.
queue_count() {
    REPLY=$(find "$1" "$1/incoming" -maxdepth 1 -type f -iname '*.silog' 2>/dev/null | wc -l)
}
writers_left() {
    REPLY=0
    local pid
    for pid in "${writer_pids[@]}"; do
        if kill -0 "$pid" 2>/dev/null; then REPLY=$((REPLY + 1)); fi
    done
}
# Runs a pump, killed with kill -9 after $1 ms unless it ended before; its
# exit status in REPLY, 137 when it was killed. timeout kills it from the
# foreground: the pump alone, and bash has no job of its own to report killed.
run_pump() { # ms pump arguments...
    local ms=$(($1 > 0 ? $1 : 1))
    shift
    REPLY=0
    timeout --foreground -s KILL "$((ms / 1000)).$(printf '%03d' $((ms % 1000)))s" "$@" \
        >>"$logs/pumps.txt" 2>&1 || REPLY=$?
}
# A run that should end by itself gets ten minutes and the settle time.
patience_ms=$(((settle + 600) * 1000))

# --- databases -----------------------------------------------------------------

psql=()
setup_sqlite() {
    local role
    for role in chaos ref; do
        "$bin/kolbidb" create --sqlite "$work/$role.db" --dsn "chaos_$role" >/dev/null
    done
    sqlite_ext=$(awk -F' = ' '/^LoadExt/ { print $2; exit }' "$ODBCINI")
    db_info="SQLite (WAL), $(sqlite3 --version | cut -d' ' -f1)"
}

setup_postgresql() {
    pg_start "$work/pg"
    local role
    for role in chaos ref; do pg_add_database "chaos_$role"; done
    db_info=$(pg_durability)
    [[ $db_info == *"fsync=on, synchronous_commit=on" ]] ||
        fail "the server is not durable: $db_info"
}

query() { # chaos|ref SQL
    if [ "$database" = sqlite ]; then
        sqlite3 -batch -noheader -cmd ".load $sqlite_ext" -separator $'\t' -nullvalue '<null>' \
            "$work/$1.db" "$2"
    else
        "${psql[@]}" -U kolbi -d "chaos_$1" -At -F $'\t' -P null='<null>' -c "$2"
    fi
}

# The tables the judge reads, with names instead of ids where ids differ
# between two runs that did the same.
dump() { # chaos|ref folder
    mkdir -p "$2"
    query "$1" "SELECT PosteID, Poste_Nom FROM Postes" >"$2/postes.tsv"
    query "$1" "SELECT l.PosteSoft_PosteID, l.PosteSoft_ProductID, p.Poste_Nom,
            s.SOFTPRODUCT_PRODUCT FROM PosteSoftware l
            LEFT JOIN Postes p ON p.PosteID = l.PosteSoft_PosteID
            LEFT JOIN SoftProduct s ON s.SOFTPRODUCT_ID = l.PosteSoft_ProductID" >"$2/links.tsv"
    query "$1" "SELECT Changement_Poste, Changement_User, Changement_Type, Changement_Critique,
            Changement_Data, Changement_ACK FROM Changement" >"$2/alerts.tsv"
    query "$1" "SELECT SOFTPRODUCT_PRODUCT, SOFTPRODUCT_COPYRIGHT, SOFTPRODUCT_DESCRIPTION
            FROM SoftProduct" >"$2/products.tsv"
    query "$1" "SELECT p.Poste_Nom, d.ODBC_DrvName, d.ODBC_ProdVers, n.DSN_Name, n.DSN_DBName,
            n.DSN_ServName FROM ODBC_DSN n LEFT JOIN Postes p ON p.PosteID = n.DSN_POSTEID
            LEFT JOIN ODBC_Drv d ON d.ODBC_ID = n.DSN_ODBC_ID" >"$2/dsn.tsv"
}

# Where the reports still on disk are: the queue and FAILED.
list_disk() { # site folder
    {
        find "$1/incoming" -maxdepth 1 -type f -printf 'incoming\t%f\n'
        find "$1/incoming/incoming" -maxdepth 1 -type f -printf 'decompressed\t%f\n'
        find "$1/pump/FAILED" -maxdepth 1 -type f -printf 'failed\t%f\n'
    } 2>/dev/null >"$2" || true
}

# A pump folder: both pumps read KolbiPumps.ini beside themselves.
make_site() { # folder dsn
    mkdir -p "$1/pump/FAILED" "$1/incoming" "$1/stage"
    cp "$bin/kolbipump" "$bin/kolbipump-once" "$1/pump/"
    cat >"$1/pump/KolbiPumps.ini" <<INI
[DataBase]
DsnEntry=$2
SqlDateFormat=DD-MM-YYYY

[SoftInventory]
Refresh=1
incomingFilesPath=$1/incoming
LogError=yes
; how long an incomplete report may wait for the rest of its bytes
SettleSeconds=$settle
INI
}

# --- the rounds ------------------------------------------------------------------

gen=$work/gen
chaos=$work/chaos
ref=$work/ref
logs=$work/logs
mkdir -p "$gen" "$logs"
declare -A ref_us kills_done busy_kills service_done runs failed_runs drain_runs round_s
declare -A slow_done
hung_runs=0

# The run without kills: everything at once, kolbipump-once once.
reference_round() { # round
    local k=$1 status=0 t0
    cp "$gen/r$k"/*.SILog "$ref/incoming/"
    now_us; t0=$REPLY
    run_pump "$patience_ms" "$ref/pump/kolbipump-once" --quiet
    status=$REPLY
    now_us; ref_us[$k]=$((REPLY - t0))
    queue_count "$ref/incoming"
    [ "$status" = 0 ] && [ "$REPLY" = 0 ] ||
        fail "the run without kills failed (status $status, $REPLY reports left): $work"
    dump ref "$work/dump/ref$k"
}

slow_writer() { # source destination delay-ms pause-ms
    sleep_ms "$3"
    local half=$(($(stat -c %s "$1") / 2))
    head -c "$half" "$1" >"$2"
    sleep_ms "$4"
    tail -c +"$((half + 1))" "$1" >>"$2"
}

# kolbipump -n processes nothing for 30 s, then the decompressed reports
# waiting, and 30 s later its first cycle: it is killed in the one of the two
# that has work, at a random moment of it.
service_kill() { # round per-report-us
    local k=$1 per_report=$2 decompressed compressed at work_ms
    decompressed=$(find "$chaos/incoming/incoming" -maxdepth 1 -type f -iname '*.silog' | wc -l)
    compressed=$(find "$chaos/incoming" -maxdepth 1 -type f -iname '*.silog' | wc -l)
    if [ "$decompressed" -gt 0 ]; then
        at=30000 work_ms=$((decompressed * per_report / 1000))
    else
        at=60000 work_ms=$((compressed * per_report / 1000))
    fi
    rand_below $((work_ms + 1))
    echo "   kolbipump -n, to be killed $(((at + REPLY) / 1000)) s after its start"
    runs[$k]=$((runs[$k] + 1))
    run_pump $((at + 100 + REPLY)) "$chaos/pump/kolbipump" -n
    count_run "$k"
    if [ "$REPLY" = 137 ]; then
        service_done[$k]=$((service_done[$k] + 1))
        kills_done[$k]=$((kills_done[$k] + 1))
        queue_count "$chaos/incoming"
        if [ "$REPLY" -gt 0 ]; then busy_kills[$k]=$((busy_kills[$k] + 1)); fi
    fi
}

count_run() { # round; the exit status in REPLY
    if [ "$REPLY" = 1 ]; then failed_runs[$1]=$((failed_runs[$1] + 1)); fi
}

# Batch $2 of round $1: its share of the reports that arrive whole, and its
# share of the slow writers, who start within half a second. The round's
# files, fast and batch_size are chaos_round's.
drop_batch() { # round batch
    local i first=$(($2 * batch_size)) delay gap
    if [ "$first" -lt "${#fast[@]}" ]; then
        local these=("${fast[@]:first:batch_size}")
        mv -t "$chaos/incoming" "${these[@]/#/$chaos/stage/}"
    fi
    for ((i = $2; i < slow; i += batches)); do
        rand_below 500; delay=$REPLY
        rand_below $((pause * 1000 - 999)); gap=$((1000 + REPLY))
        slow_writer "$gen/r$1/${files[i]}" "$chaos/incoming/${files[i]}" "$delay" "$gap" &
        writer_pids+=($!)
    done
}

chaos_round() { # round kills service-kills
    local k=$1 goal=$2 service_goal=$3 t0 start
    now_us; start=$REPLY
    kills_done[$k]=0 busy_kills[$k]=0 service_done[$k]=0 runs[$k]=0 failed_runs[$k]=0
    local files=() name i j
    for name in "$gen/r$k"/*.SILog; do files+=("${name##*/}"); done
    local n=${#files[@]}
    # The first $slow of a shuffle are the slow writers.
    for ((i = 0; i < slow; i++)); do
        rand_below $((n - i)); j=$((i + REPLY))
        name=${files[i]}; files[i]=${files[j]}; files[j]=$name
    done
    local per_report=$((ref_us[$k] / n)) startup=$startup_us
    # The others arrive whole, as kolbi-agent-sim writes them (each appears
    # under its name complete). Both come in batches spread over the kills,
    # so that the pump has work whenever it is killed and the slow writers
    # write while it runs.
    local fast=("${files[@]:slow}")
    mkdir -p "$work/dump"
    printf '%s\n' "${files[@]:0:slow}" >"$work/dump/slow$k.txt"
    local batch_size=$(((${#fast[@]} + batches - 1) / batches)) batch=0
    cp -t "$chaos/stage" "${fast[@]/#/$gen/r$k/}"
    writer_pids=()
    slow_done[$k]=$slow
    echo "== Round $k: ${#fast[@]} reports dropped in $batches batches, $slow by slow writers;" \
        "killing the pump"

    local waiting writers delay pump_kills
    while [ "${kills_done[$k]}" -lt "$((goal + service_goal))" ]; do
        pump_kills=$((kills_done[$k] - service_done[$k]))
        queue_count "$chaos/incoming"; waiting=$REPLY
        # The next batch comes when its share of the kills is done, or at
        # once when the queue is empty.
        while [ "$batch" -lt "$batches" ] &&
            { [ "$waiting" -eq 0 ] ||
                [ $((pump_kills * batches)) -ge $((batch * goal)) ]; }; do
            drop_batch "$k" "$batch"
            batch=$((batch + 1))
            queue_count "$chaos/incoming"; waiting=$REPLY
        done
        writers_left; writers=$REPLY
        if [ $((waiting + writers)) -eq 0 ]; then break; fi
        # kolbipump -n halfway through the kills.
        if [ "${service_done[$k]}" -lt "$service_goal" ] &&
            [ $((pump_kills * 2)) -ge "$goal" ]; then
            service_kill "$k" "$per_report"
            continue
        fi
        # Somewhere in the first half of the run the queue in hand takes (its
        # start, its decoding, its pass), so that a few kills land in each
        # batch.
        rand_below $(((startup + waiting * per_report) / 2000 + 1)); delay=$REPLY
        run_pump "$delay" "$chaos/pump/kolbipump-once" --quiet
        count_run "$k"
        if [ "$REPLY" = 137 ]; then
            kills_done[$k]=$((kills_done[$k] + 1))
            queue_count "$chaos/incoming"
            if [ "$REPLY" -gt 0 ]; then busy_kills[$k]=$((busy_kills[$k] + 1)); fi
        fi
        if [ -n "${CHAOS_TRACE:-}" ]; then
            echo "   run: $waiting reports waiting, $writers writers, killed after $delay ms:" \
                "${kills_done[$k]} kills" >&2
        fi
        runs[$k]=$((runs[$k] + 1))
    done
    for ((; batch < batches; batch++)); do drop_batch "$k" "$batch"; done
    echo "   ${kills_done[$k]} kills in ${runs[$k]} runs; now running the pump without kills"

    # The last writers finish, then the pump runs undisturbed until the queue
    # is empty, for as long as a report may settle and a minute more.
    local pid
    for pid in "${writer_pids[@]}"; do wait "$pid" || true; done
    writer_pids=()
    now_us; t0=$REPLY
    drain_runs[$k]=0
    while :; do
        run_pump "$patience_ms" "$chaos/pump/kolbipump-once" --quiet
        count_run "$k"
        drain_runs[$k]=$((drain_runs[$k] + 1))
        if [ "$REPLY" = 137 ]; then hung_runs=$((hung_runs + 1)); fi
        queue_count "$chaos/incoming"
        [ "$REPLY" -gt 0 ] || break
        now_us
        [ $((REPLY - t0)) -lt $(((settle + 60) * 1000000)) ] || break
        sleep 1
    done
    dump chaos "$work/dump/chaos$k"
    list_disk "$chaos" "$work/dump/chaos$k/disk.tsv"
    now_us; round_s[$k]=$(((REPLY - start) / 1000000))
}

# --- set-up, the run without kills, the chaos --------------------------------------

now_us; run_start=$REPLY
echo "== $database: $workstations workstations x $products product lines, seed $seed"
"setup_$database"
make_site "$chaos" chaos_chaos
make_site "$ref" chaos_ref
for k in 1 2; do
    "$bin/kolbi-agent-sim" --workstations "$workstations" --products "$products" --round "$k" \
        --churn "$churn" --seed "$seed" --out "$gen/r$k" --manifest "$gen/m$k.tsv" >/dev/null
done

echo "== The run without kills"
for k in 1 2; do reference_round "$k"; done
echo "   round 1 in $((ref_us[1] / 1000)) ms, round 2 in $((ref_us[2] / 1000)) ms"

# What a start and an end cost the pump with nothing to do.
now_us; t0=$REPLY
run_pump "$patience_ms" "$chaos/pump/kolbipump-once" --quiet
[ "$REPLY" = 0 ] || fail "the pump cannot run on an empty queue: $(tail -3 "$logs/pumps.txt")"
now_us; startup_us=$((REPLY - t0))

first_kills=$((kills / 2))
first_service=$((service_kills > 0 ? 1 : 0))
chaos_round 1 "$first_kills" "$first_service"
chaos_round 2 $((kills - first_kills)) $((service_kills - first_service > 0 ? 1 : 0))

# --- verdicts -------------------------------------------------------------------------

declare -A r1 r2 ref1 ref2 alerts tables
read_counts() { # array-name command...
    local -n into=$1
    shift
    local key value
    "$@" >"$work/counts" || fail "the judge failed: $*"
    while IFS='=' read -r key value; do into[$key]=$value; done <"$work/counts"
}
details=$work/details.txt
: >"$work/empty.tsv"
read_counts r1 "${judge[@]}" reports "$gen/m1.tsv" "$work/dump/chaos1" \
    --disk "$work/dump/chaos1/disk.tsv" --applied "$work/dump/chaos1/applied" \
    --slow "$work/dump/slow1.txt" 2>>"$details"
read_counts r2 "${judge[@]}" reports "$gen/m2.tsv" "$work/dump/chaos2" "$work/dump/chaos1" \
    --disk "$work/dump/chaos2/disk.tsv" --applied "$work/dump/chaos2/applied" \
    --slow "$work/dump/slow2.txt" 2>>"$details"
read_counts ref1 "${judge[@]}" reports "$gen/m1.tsv" "$work/dump/ref1" \
    --disk "$work/empty.tsv" --applied "$work/dump/ref1/applied" 2>/dev/null
read_counts ref2 "${judge[@]}" reports "$gen/m2.tsv" "$work/dump/ref2" "$work/dump/ref1" \
    --disk "$work/empty.tsv" --applied "$work/dump/ref2/applied" 2>/dev/null
read_counts alerts "${judge[@]}" alerts "$gen/m2.tsv" "$work/dump/chaos2" "$work/dump/ref2" \
    "$work/dump/chaos1/applied" "$work/dump/chaos2/applied" 2>>"$details"
read_counts tables "${judge[@]}" tables "$work/dump/chaos2" "$work/dump/ref2"

sum() { echo $(($1 + $2)); }
row() { # label round1 round2
    printf '   %-30s %8s %8s %8s\n' "$1" "$2" "$3" "$(sum "$2" "$3")"
}
log_entries=$(cat "$chaos/pump/"*.log 2>/dev/null | grep -c '^Error' || true)
now_us; elapsed=$(((REPLY - run_start) / 1000000))
lost=$((r1[lost] + r2[lost]))
half=$((r1[half_applied] + r2[half_applied]))
judge_ok=$((ref1[in_db] == ref1[dropped] && ref2[in_db] == ref2[dropped] &&
    alerts[reference_wrong] == 0))

echo
echo "== Chaos on $database: $workstations workstations x $products product lines, churn" \
    "$churn%, seed $seed"
echo "   database: $db_info; pump: $bin, SettleSeconds=$settle"
printf '   %-30s %8s %8s %8s\n' "" "round 1" "round 2" "total"
row "reports dropped" "${r1[dropped]}" "${r2[dropped]}"
row "  in the database" "${r1[in_db]}" "${r2[in_db]}"
row "  on disk (queue or FAILED)" "${r1[on_disk]}" "${r2[on_disk]}"
row "  LOST" "${r1[lost]}" "${r2[lost]}"
row "    of them slow writers'" "${r1[lost_slow]}" "${r2[lost_slow]}"
row "  HALF-APPLIED" "${r1[half_applied]}" "${r2[half_applied]}"
row "    of them slow writers'" "${r1[half_applied_slow]}" "${r2[half_applied_slow]}"
row "  applied, file still on disk" "${r1[in_db_and_on_disk]}" "${r2[in_db_and_on_disk]}"
row "slow writers" "${slow_done[1]}" "${slow_done[2]}"
row "kill -9" "${kills_done[1]}" "${kills_done[2]}"
row "  of kolbipump -n" "${service_done[1]}" "${service_done[2]}"
row "  with reports in the queue" "${busy_kills[1]}" "${busy_kills[2]}"
row "pump runs (killed or not)" $((runs[1] + drain_runs[1])) $((runs[2] + drain_runs[2]))
row "  ended on a failure" "${failed_runs[1]}" "${failed_runs[2]}"
row "seconds" "${round_s[1]}" "${round_s[2]}"
echo "   change alerts of round 2: ${alerts[right]} workstations as without kills," \
    "${alerts[wrong]} wrong, ${alerts[unchecked]} not checked (a report not in the database)"
echo "   rows unlike the run without kills after round 2: Postes ${tables[postes]}," \
    "PosteSoftware ${tables[links]}, Changement ${tables[alerts]}," \
    "SoftProduct ${tables[products]}, ODBC_DSN ${tables[dsn]}"
echo "   run without kills: $((ref1[in_db] + ref2[in_db])) of $((ref1[dropped] + ref2[dropped]))" \
    "reports as the manifests say, alerts of" \
    "$((workstations - alerts[reference_wrong])) of $workstations workstations"
echo "   pump error log: $log_entries entries; $elapsed s in all"
total_kills=$((kills_done[1] + kills_done[2]))
if [ "$hung_runs" -gt 0 ]; then
    echo "   note: $hung_runs runs without kills did not end within" \
        "$((patience_ms / 1000)) s and were killed"
fi
if [ "$total_kills" -lt $((kills + service_kills)) ]; then
    echo "   note: $total_kills kills of $((kills + service_kills)) asked: the queue emptied first"
fi
status=0
if [ "$judge_ok" != 1 ]; then
    echo "   RESULT: NO VERDICT: the run without kills does not match the agents' manifests"
    status=2
elif [ $((lost + half + alerts[wrong])) -gt 0 ]; then
    echo "   RESULT: FAIL: $lost lost, $half half-applied, change alerts wrong on" \
        "${alerts[wrong]} workstations"
    status=1
else
    echo "   RESULT: PASS: every report in the database or on disk, none half-applied"
fi
# A few of each kind of failure; --keep keeps them all in details.txt.
for kind in ": lost:" ": half-applied:" "change alerts instead"; do
    { grep -F -- "$kind" "$details" || true; } | head -3 | sed 's/^/   - /'
done
exit "$status"
