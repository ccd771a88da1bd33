#!/usr/bin/env bash
# The main job until the pump itself exists: builds the project, generates a
# few inventory reports as agents write them, compresses them into HE3
# streams with the he3 tool, decompresses the streams again, checks that
# every report came back byte for byte, and shows one stream's header.
#   scripts/demo.sh [COUNT]     COUNT reports (default 5), written under demo/he3/
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-5}
bin=build/bin
work=demo/he3

echo "== Building (Release) in build/"
# Warnings are the test build's business (scripts/test.sh turns them into
# errors); g++ 12 gives false ones at -O3 that must not stop the demo.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKOLBI_WERROR=OFF >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
echo "   built $bin/he3 and $bin/kolbi-reportgen"

rm -rf "$work"
mkdir -p "$work/incoming" "$work/decompressed"

echo "== Generating $count inventory reports in $work/reports/"
"$bin/kolbi-reportgen" --count "$count" --products-per-report 120 --seed 2026 \
    --out "$work/reports" >/dev/null 2>&1

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
echo "OK: $count reports compressed and decompressed back to identical bytes"
echo "   plain reports in $work/reports/, streams in $work/incoming/," \
    "decompressed in $work/decompressed/"
