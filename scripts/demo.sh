#!/usr/bin/env bash
# Installs what the demo needs, builds skimlark-run (no window, no Qt) and runs
# the shipped demo script against the local demo site.
# Usage: scripts/demo.sh [build-folder]   (default build-demo/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-demo}"
bash "$root/scripts/build.sh" --demo "$build"
exec bash "$root/scripts/run-demo.sh" "$build/skimlark-run"
