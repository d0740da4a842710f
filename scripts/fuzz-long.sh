#!/usr/bin/env bash
# A long fuzz run: builds the fuzzers (every library instrumented) and runs
# one of them, or each in turn, for SECONDS each (default one hour), keeping
# the grown corpus in build-fuzz/corpus/NAME.
# Usage: scripts/fuzz-long.sh [SECONDS] [NAME...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/fuzzers.sh"
seconds="${1:-3600}"
shift || true
names=("$@")
[ ${#names[@]} -gt 0 ] || names=("${fuzzers[@]}")
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSKIMLARK_GUI=OFF -DSKIMLARK_BENCH=OFF -DSKIMLARK_TESTS=OFF -DSKIMLARK_FUZZ=ON >/dev/null
ninja -C "$root/build-fuzz" fuzzers
for name in "${names[@]}"; do
  mkdir -p "$root/build-fuzz/corpus/$name"
  (cd "$root/build-fuzz" && "$root/build-fuzz/fuzz/$name" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=4096 -print_final_stats=1 -dict="$root/fuzz/$name.dict" \
    "$root/build-fuzz/corpus/$name" "$root/fuzz/corpus/$name" $(seeds "$name"))
done
