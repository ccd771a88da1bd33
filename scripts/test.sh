#!/usr/bin/env bash
# Builds the project and runs the whole test suite.
#   scripts/test.sh             release build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLBI_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
    build_dir=build-asan
    options=(-DCMAKE_BUILD_TYPE=Debug -DKOLBI_WERROR=ON -DKOLBI_SANITIZE=ON -DKOLBI_BENCHMARKS=OFF)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build_dir" "${options[@]}"
cmake --build "$build_dir" -j "$(nproc)"

# The database tests run against a real PostgreSQL as well as SQLite: a
# throwaway cluster in a temporary folder, on a Unix socket only, stopped and
# removed on exit. Without it the PostgreSQL tests fail; KOLBI_TEST_PG=off
# leaves them out, for quick local runs only.
if [ "${KOLBI_TEST_PG:-}" != off ]; then
    pg_dir=$(mktemp -d /tmp/kolbi-pg.XXXXXX)
    trap 'scripts/pg-scratch.sh stop "$pg_dir" || true; rm -rf "$pg_dir"' EXIT
    eval "$(scripts/pg-scratch.sh start "$pg_dir")"
fi
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
