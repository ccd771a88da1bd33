#!/usr/bin/env bash
# Builds the codec benchmark in Release and prints, for both texts, encode and decode
# speed of HE3 beside zlib's Huffman-only mode and memcpy (MB/s of uncompressed bytes,
# medians of the repetitions, all measured in one run), with the ratios to zlib.
#   bench/run.sh                 5 repetitions
#   bench/run.sh --benchmark_repetitions=10    further Google Benchmark options
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build-release}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DKOLBI_TESTS=OFF -DKOLBI_BENCHMARKS=ON \
    >/dev/null
cmake --build "$build_dir" -j2 --target codec_bench >/dev/null

csv=$(mktemp)
trap 'rm -f "$csv"' EXIT
"$build_dir/bin/codec_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv "$@" >"$csv" 2>/dev/null

awk -F, '
    /^name,/ {
        for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); col[$i] = i }
        next
    }
    col["name"] && $1 ~ /_median"?$/ {
        name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
        split(name, part, "/")
        mbs[part[1], part[2]] = $(col["bytes_per_second"]) / 1e6
        size[part[1], part[2]] = $(col["ratio"])
        if (!(part[1] in seen)) { seen[part[1]] = 1; order[++texts] = part[1] }
    }
    END {
        printf "%-8s %11s %11s %7s   %11s %11s %7s   %9s   %6s %6s\n", "text", "he3 enc", \
            "zlib enc", "ratio", "he3 dec", "zlib dec", "ratio", "memcpy", "he3 sz", "zlib sz"
        for (t = 1; t <= texts; t++) {
            x = order[t]
            printf "%-8s %11.1f %11.1f %6.2fx   %11.1f %11.1f %6.2fx   %9.1f   %5.1f%% %5.1f%%\n", x, \
                mbs[x, "he3_encode"], mbs[x, "zlib_deflate_huffman"], \
                mbs[x, "he3_encode"] / mbs[x, "zlib_deflate_huffman"], \
                mbs[x, "he3_decode"], mbs[x, "zlib_inflate_huffman"], \
                mbs[x, "he3_decode"] / mbs[x, "zlib_inflate_huffman"], \
                mbs[x, "memcpy"], 100 * size[x, "he3_encode"], 100 * size[x, "zlib_deflate_huffman"]
        }
        print "MB/s of uncompressed bytes (10^6 bytes/s), medians; sz = compressed size / input size"
    }
' "$csv"
