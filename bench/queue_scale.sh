#!/usr/bin/env bash
# Whether the cost of a report depends on the length of the queue: the same
# pump on SQLite takes a small and a large round of first inventories (each
# all queued before it starts), then clears a queue of junk files (1 byte,
# older than the settle time, so each goes to FAILED).
#
#   bench/queue_scale.sh --bin DIR [--sizes "300 20000"] [--products N]
#                        [--junk N] [--junk-limit SECONDS]
#
# DIR holds kolbipump-once, kolbi-agent-sim and kolbidb (a build's bin
# folder); give another build's kolbipump-once with PUMP=path to compare two
# versions on the same files. The junk run stops after --junk-limit seconds
# (default 600) and then gives the rate of the files it cleared.
set -euo pipefail

bin=
sizes="300 20000"
products=20
junk=50000
junk_limit=600
while [ $# -gt 0 ]; do
    case "$1" in
        --bin) bin=$2; shift 2 ;;
        --sizes) sizes=$2; shift 2 ;;
        --products) products=$2; shift 2 ;;
        --junk) junk=$2; shift 2 ;;
        --junk-limit) junk_limit=$2; shift 2 ;;
        *) sed -n '2,13s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
    esac
done
if [ -z "$bin" ]; then
    sed -n '2,13s/^# \{0,1\}//p' "$0" >&2
    exit 2
fi
bin=$(cd "$bin" && pwd)
pump=${PUMP:-$bin/kolbipump-once}

work=$(mktemp -d /tmp/kolbi-queue-scale.XXXXXX)
trap 'rm -rf "$work"' EXIT
export ODBCINI=$work/odbc.ini
: >"$ODBCINI"

# A pump folder of its own with a new database: kolbipump-once reads
# KolbiPumps.ini beside itself.
make_pump() { # folder
    mkdir -p "$1/incoming"
    cp "$pump" "$1/kolbipump-once"
    local dsn
    dsn=queue_scale_$(basename "$1")
    "$bin/kolbidb" create --sqlite "$1/inventory.db" --dsn "$dsn" >/dev/null
    cat >"$1/KolbiPumps.ini" <<INI
[DataBase]
DsnEntry=$dsn
SqlDateFormat=DD-MM-YYYY

[SoftInventory]
Refresh=1
incomingFilesPath=$1/incoming
LogError=yes
INI
}

# The pump's CPU seconds (user and system): on a shared machine the wall
# clock says more about the neighbours.
cpu_seconds() { # output command...
    local output=$1 times
    shift
    times=$( { TIMEFORMAT='%U %S'; time "$@" >"$output" 2>&1; } 2>&1 || true)
    awk '{ print $1 + $2 }' <<<"$times"
}

printf '%-24s %8s %9s %10s %10s\n' run files seconds files/s "CPU ms/file"
for size in $sizes; do
    dir=$work/reports$size
    make_pump "$dir"
    "$bin/kolbi-agent-sim" --workstations "$size" --products "$products" \
        --out "$dir/incoming" >/dev/null
    cpu=$(cpu_seconds "$dir/out.txt" "$dir/kolbipump-once" --quiet)
    awk -v run="$size reports" -v cpu="$cpu" '/ report\(s\) in / {
        printf "%-24s %8d %9.2f %10.1f %10.2f\n", run, $1, $4, $1 / $4, cpu * 1000 / $1 }' \
        "$dir/out.txt"
done

if [ "$junk" -gt 0 ]; then
    dir=$work/junk
    make_pump "$dir"
    for i in $(seq -f '%06g' "$junk"); do printf x >"$dir/incoming/JUNK${i}_1.SILog"; done
    find "$dir/incoming" -maxdepth 1 -name '*.SILog' -exec touch -d '1 hour ago' {} +
    start=$(date +%s.%N)
    cpu=$(cpu_seconds /dev/null timeout "$junk_limit" "$dir/kolbipump-once" --quiet)
    end=$(date +%s.%N)
    cleared=$(find "$dir/FAILED" -maxdepth 1 -type f 2>/dev/null | wc -l)
    awk -v n="$cleared" -v all="$junk" -v s="$(echo "$end - $start" | bc)" -v cpu="$cpu" 'BEGIN {
        printf "%-24s %8d %9.2f %10.1f %10.2f\n", "junk (" n " of " all ")", n, s, n / s,
            n ? cpu * 1000 / n : 0 }'
fi
