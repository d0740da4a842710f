#!/usr/bin/env bash
# Installs what the build needs and builds.
# Usage: scripts/build.sh [--demo] [build-folder] [cmake options...]
#   without --demo: every program, test and benchmark into build/ (or the folder)
#   --demo: only skimlark-run, without Qt, into build-demo/ (or the folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ "${1:-}" = "--demo" ]; then
  shift
  build="${1:-$root/build-demo}"
  shift || true
  bash "$root/scripts/install-deps.sh" demo
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSKIMLARK_GUI=OFF -DSKIMLARK_TESTS=OFF -DSKIMLARK_BENCH=OFF "$@" >/dev/null
  # The demo script is read from the source tree; the program alone is enough.
  ninja -C "$build" skimlark-run
  exit 0
fi

build="${1:-$root/build}"
shift || true
bash "$root/scripts/install-deps.sh" all
# The options are named, so a folder configured by another build gets them back.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSKIMLARK_GUI=ON -DSKIMLARK_TESTS=ON -DSKIMLARK_BENCH=ON "$@" >/dev/null
ninja -C "$build"
