#!/usr/bin/env bash
# The he3 tool as a whole process beside zlib's Huffman-only mode as a whole
# process (bench/process/zlib_huffman), on one file of generated reports:
# reading the file, coding it and writing the result, everything a user waits
# for. Median wall times of the repetitions, the ratios, and the page faults.
#   bench/he3_process.sh [MIB] [REPETITIONS]     default 32 MiB, 11 repetitions
set -euo pipefail
cd "$(dirname "$0")/.."

mib=${1:-32}
repetitions=${2:-11}
build_dir=${BUILD_DIR:-build-release}
build_log=$(mktemp)
if ! { cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DKOLBI_TESTS=OFF \
        -DKOLBI_BENCHMARKS=ON &&
    cmake --build "$build_dir" -j2 --target he3 kolbi-agent-sim zlib_huffman; } \
    >"$build_log" 2>&1; then
    cat "$build_log" >&2
    exit 1
fi
rm -f "$build_log"
bin=$PWD/$build_dir/bin

work=$(mktemp -d /tmp/kolbi-he3.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Reports of enough workstations to fill the file, cut to its size.
"$bin/kolbi-agent-sim" --workstations $((mib * 60)) --products 200 --plain --seed 5 \
    --out "$work/reports" >/dev/null
cat "$work/reports"/* >"$work/text"
truncate -s $((mib * 1048576)) "$work/text"
"$bin/he3" compress "$work/text" "$work/text.he3"
"$bin/zlib_huffman" compress "$work/text" "$work/text.z"

# Median milliseconds and the page faults of that run.
measure() {
    local runs=()
    for _ in $(seq "$repetitions"); do
        local start=$EPOCHREALTIME
        if [ -x /usr/bin/time ]; then
            /usr/bin/time -f '%R' -o "$work/faults" "$@" >/dev/null 2>&1
        else
            "$@" >/dev/null 2>&1
            echo - >"$work/faults"
        fi
        local end=$EPOCHREALTIME
        local faults
        faults=$(tail -1 "$work/faults")
        runs+=("$(awk -v s="$start" -v e="$end" 'BEGIN { print (e - s) * 1000 }') $faults")
    done
    printf '%s\n' "${runs[@]}" | sort -n | sed -n "$(((repetitions + 1) / 2))p"
}

read -r he3_enc he3_enc_faults < <(measure "$bin/he3" compress "$work/text" "$work/out")
read -r zlib_enc zlib_enc_faults < <(measure "$bin/zlib_huffman" compress "$work/text" "$work/out")
read -r he3_dec he3_dec_faults < <(measure "$bin/he3" decompress "$work/text.he3" "$work/out")
cmp -s "$work/out" "$work/text" || { echo "he3 decompress gave other bytes" >&2; exit 1; }
read -r zlib_dec zlib_dec_faults < <(measure "$bin/zlib_huffman" decompress "$work/text.z" \
    "$work/out")

printf '%s MiB of reports, median of %d runs, whole processes\n' "$mib" "$repetitions"
printf '%-10s %10s %10s %8s   %12s %12s\n' "" "he3 ms" "zlib ms" ratio "he3 faults" "zlib faults"
awk -v a="$he3_enc" -v b="$zlib_enc" -v fa="$he3_enc_faults" -v fb="$zlib_enc_faults" \
    'BEGIN { printf "%-10s %10.0f %10.0f %7.2fx   %12s %12s\n", "compress", a, b, b / a, fa, fb }'
awk -v a="$he3_dec" -v b="$zlib_dec" -v fa="$he3_dec_faults" -v fb="$zlib_dec_faults" \
    'BEGIN { printf "%-10s %10.0f %10.0f %7.2fx   %12s %12s\n", "decompress", a, b, b / a, fa, fb }'
echo "ratio: zlib's time / he3's (above 1: he3 is faster); faults: minor page faults"
