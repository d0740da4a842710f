#!/usr/bin/env bash
# Installs, builds and runs every test: the full build with all tests, then
# all tests once more under the address and undefined-behaviour sanitizers,
# then a short run of every fuzzer over libraries built for fuzzing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/fuzzers.sh"
jobs="$(nproc)"

bash "$root/scripts/build.sh" "$root/build"
# A test that fails is run once more before the run counts as failed: the
# window tests drive a whole web engine, which under a loaded machine at
# rare times loses a page or keeps an allocation of its own at exit.
(cd "$root/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600 \
  --repeat until-pass:2)
# The interpreter beside its peers, once each: the figures are shown, and a
# workload whose output differs from perl's fails the run.
CHECK=1 REPEAT=1 bash "$root/bench/interpreter_vs_peers.sh" "$root/build/skimlark-run"

cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DSKIMLARK_GUI=ON -DSKIMLARK_BENCH=OFF -DSKIMLARK_SANITIZE=ON >/dev/null
ninja -C "$root/build-asan"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs" --timeout 900 --repeat until-pass:2)

if [ -d "$root/fuzz" ] && [ -f "$root/fuzz/CMakeLists.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSKIMLARK_GUI=OFF -DSKIMLARK_BENCH=OFF -DSKIMLARK_TESTS=OFF -DSKIMLARK_FUZZ=ON >/dev/null
  ninja -C "$root/build-fuzz" fuzzers
  # Each fuzzer briefly from its seeds (FUZZ_SECONDS each, 30 by default);
  # scripts/fuzz-long.sh runs them for as long as one likes.
  seconds="${FUZZ_SECONDS:-30}"
  for name in "${fuzzers[@]}"; do
    work="$root/build-fuzz/corpus/$name"
    mkdir -p "$work"
    log="$root/build-fuzz/$name.log"
    if ! (cd "$root/build-fuzz" && "$root/build-fuzz/fuzz/$name" -max_total_time="$seconds" -timeout=10 \
          -rss_limit_mb=4096 -print_final_stats=1 -dict="$root/fuzz/$name.dict" \
          "$work" "$root/fuzz/corpus/$name" $(seeds "$name")) >"$log" 2>&1; then
      tail -n 60 "$log"
      echo "fuzz: $name found a failure (input kept in build-fuzz/)"
      exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
    echo "fuzz: $name ${seconds} s, $runs runs, $cov, no failure"
  done
fi
