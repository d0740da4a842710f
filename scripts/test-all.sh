#!/usr/bin/env bash
# Installs, builds and runs every test: the full build with all tests, then
# all tests once more under the address and undefined-behaviour sanitizers,
# then a short run of the script fuzzer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"

bash "$root/scripts/build.sh" "$root/build"
(cd "$root/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600)

cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DSKIMLARK_GUI=ON -DSKIMLARK_BENCH=OFF -DSKIMLARK_SANITIZE=ON >/dev/null
ninja -C "$root/build-asan"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs" --timeout 900)

if [ -d "$root/fuzz" ] && [ -f "$root/fuzz/CMakeLists.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSKIMLARK_GUI=OFF -DSKIMLARK_BENCH=OFF -DSKIMLARK_TESTS=OFF -DSKIMLARK_FUZZ=ON >/dev/null
  ninja -C "$root/build-fuzz" fuzz_script
  mkdir -p "$root/build-fuzz/corpus"
  "$root/build-fuzz/fuzz/fuzz_script" -max_total_time=60 -timeout=10 -rss_limit_mb=4096 \
    "$root/build-fuzz/corpus" "$root/fuzz/corpus"
  echo "fuzz: 60 s of random scripts without a crash"
fi
