#!/usr/bin/env bash
# Installs, builds and runs the shipped demo script against the local demo site.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh" "$root/build"
if [ -f "$root/scripts/run-demo.sh" ]; then
  exec bash "$root/scripts/run-demo.sh" "$root/build/skimlark-run"
fi
exec "$root/build/skimlark-run" "$root/skripte/demo.skl"
