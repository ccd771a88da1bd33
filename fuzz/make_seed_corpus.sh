#!/usr/bin/env bash
# Rebuilds the small seed corpus of the fuzz targets in fuzz/corpus/ from the
# stream examples, a few generated streams and some damaged ones. Needs a
# build with he3 and kolbi-agent-sim (build/bin by default, or $1).
set -euo pipefail
cd "$(dirname "$0")"
bin=${1:-../build/bin}
he3=$bin/he3
agentsim=$bin/kolbi-agent-sim

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ab='HE3\r\x03\x02\x00\x00\x00\x02\x00\x61\x01\x62\x01\x02\x02'
abc='HE3\r\x60\x03\x00\x00\x00\x03\x00\x61\x02\x62\x02\x63\x01\x0d\x0d'
abra_head='HE3\r\x66\x0b\x00\x00\x00\x05\x00\x61\x01\x62\x03\x63\x03\x64\x03\x72\x03\xba\x07'
abra="${abra_head}\x1a\x73\x0d"

# Counts close to the Fibonacci numbers: the shape that gives the longest codes.
fib_runs='\x01'
c=0
for count in 0 0 1 1 2 3 3 4 6 7 9 12 15 19 25 31 40 51 65 82; do
    fib_runs+=$(printf '\\x%02x\\x%02x' $((0x41 + c)) "$count")
    c=$((c + 1))
done

"$agentsim" --workstations 1 --products 8 --seed 3 --out "$work/plain" --plain >/dev/null
"$agentsim" --workstations 1 --products 8 --seed 3 --out "$work/packed" >/dev/null
report=$work/plain/PC001_20261204.SILog
packed=$work/packed/PC001_20261204.SILog

rm -rf corpus
mkdir -p corpus/decode_byte corpus/examine corpus/round_trip

streams=corpus/decode_byte
printf 'HE0\r' >"$streams/stored_empty"
printf 'HE0\raaaa' >"$streams/stored_aaaa"
printf "$ab" >"$streams/ab"
printf "$abc" >"$streams/abc"
printf "$abra" >"$streams/abracadabra"
printf 'HE7\r\x01\x02\x03' >"$streams/unknown_form"
printf 'he3\r\x03\x02\x00\x00\x00\x02\x00\x61\x01\x62\x01\x02\x02' >"$streams/lower_case"
printf 'HE3\r\x03\x00\x00\x00\x00\x02\x00\x61\x01\x62\x01\x02\x02' >"$streams/length_zero"
printf 'HE3\r\x03\xff\xff\xff\x7f\x02\x00\x61\x01\x62\x01\x02\x02' >"$streams/length_huge"
printf "${abra_head}\x1a\x73" >"$streams/data_cut"
printf "${abra_head}" >"$streams/no_data"
printf 'HE3\r\x66\x0b\x00\x00\x00\x05\x00\x61\x01\x62\x03\x63' >"$streams/table_cut"
printf 'HE3\r\x67\x0b\x00\x00\x00\x05\x00\x61\x01\x62\x03\x63\x03\x64\x03\x72\x03\xba\x07\x1a\x73\x0d' \
    >"$streams/checksum_wrong"
printf 'HE3\r\x03\x02\x00\x00\x00\x02\x00\x61\x01\x62\x01\x00\x02' >"$streams/not_prefix"
printf 'HE3\r\x03\x02\x00\x00\x00\x02\x00\x61\x01\x62\x02\x02\x02' >"$streams/incomplete"
printf "${ab}xyz" >"$streams/trailing_bytes"
cp "$packed" "$streams/report"
printf "$fib_runs" >"$work/runs"
# Sixteen of those runs expanded and compressed: codes of up to 15 bits.
expand_runs() {
    local i=0 symbol count
    for count in 0 0 1 1 2 3 3 4 6 7 9 12 15 19 25 31; do
        symbol=$(printf "\\x$(printf %02x $((0x41 + i)))")
        head -c $((1 + count * count)) /dev/zero | tr '\0' "$symbol"
        i=$((i + 1))
    done
}
expand_runs >"$work/skewed"
"$he3" compress "$work/skewed" "$streams/skewed"
cp "$streams"/* corpus/examine/

inputs=corpus/round_trip
: >"$inputs/empty"
printf 'aaaa' >"$inputs/aaaa"
printf 'ab' >"$inputs/ab"
printf 'abc' >"$inputs/abc"
printf 'abracadabra' >"$inputs/abracadabra"
cp "$report" "$inputs/report"
for i in $(seq 0 255); do printf "\\x$(printf %02x "$i")"; done >"$inputs/all_bytes"
cp "$work/runs" "$inputs/fibonacci_runs"

du -sh corpus/*
