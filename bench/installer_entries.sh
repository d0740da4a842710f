#!/usr/bin/env bash
# Time and peak memory of Setup's install and uninstall of archives of many
# small entries (ZIP64 end records, as zip tools write them past 65,535
# entries), each in a process of its own, beside unzip and python3's zipfile
# extracting the same archive and python3 deleting the same files; with the
# ratios and the time per entry, which stays flat when the run is linear.
#
#   ninja -C build bench_installer_entries Setup
#   bench/installer_entries.sh build/bench/bench_installer_entries [ENTRIES...]
#
# ENTRIES default to 25000 50000 100000. Needs unzip, python3 and GNU time.
# The files go below TMPDIR; a tmpfs there keeps the disk's journal (and
# whoever else writes to the disk) out of the figures.
set -euo pipefail
export LC_ALL=C.UTF-8
bin="${1:?usage: installer_entries.sh BENCH_INSTALLER_ENTRIES [ENTRIES...]}"
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(25000 50000 100000)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Peak resident kB and seconds of a command.
measure() { /usr/bin/time -f "%M %e" -o "$work/time" "$@" >/dev/null 2>"$work/err" && cat "$work/time"; }
row() { printf '%-34s %8d kB  %7.2f s  %6.1f us/entry\n' "$1" "$2" "$3" "$(awk -v s="$3" -v n="$4" 'BEGIN { print s * 1e6 / n }')"; }
ratio() { awk -v a="$1" -v b="$2" -v c="$3" -v d="$4" -v w="$5" 'BEGIN {
    printf "  ratio to %s: memory %.2f, time %.2f\n", w, a / b, c / d }'; }

for n in "${sizes[@]}"; do
  rm -rf "$work/run"
  mkdir -p "$work/run"
  "$bin" make "$work/run/app.zip" "$n"
  "$bin" build "$work/run/app.zip" "$work/run/Setup-Skimlark"
  echo "== $n entries, archive $(( $(stat -c %s "$work/run/app.zip") / 1024 )) kB"

  read -r ours_kb ours_s < <(measure "$bin" install "$work/run/Setup-Skimlark" "$work/run/ours")
  read -r unzip_kb unzip_s < <(measure unzip -q "$work/run/app.zip" -d "$work/run/unzip")
  read -r py_kb py_s < <(measure python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
      "$work/run/app.zip" "$work/run/python")
  row "Setup install" "$ours_kb" "$ours_s" "$n"
  row "unzip -q" "$unzip_kb" "$unzip_s" "$n"
  row "python3 zipfile extractall" "$py_kb" "$py_s" "$n"
  ratio "$ours_kb" "$unzip_kb" "$ours_s" "$unzip_s" unzip
  ratio "$ours_kb" "$py_kb" "$ours_s" "$py_s" "python3"

  cp "$work/run/ours/files.lst" "$work/run/python.lst"
  read -r un_kb un_s < <(measure "$bin" uninstall "$work/run/ours")
  read -r pyrm_kb pyrm_s < <(measure python3 -c '
import os, sys
top = sys.argv[1]
for line in open(sys.argv[2], encoding="utf-8"):
    os.unlink(os.path.join(top, line.rstrip("\n")))
for folder, subs, files in os.walk(top, topdown=False):
    if not files and not subs:
        os.rmdir(folder)' "$work/run/python" "$work/run/python.lst")
  row "Setup uninstall" "$un_kb" "$un_s" "$n"
  row "python3 unlink per listed file" "$pyrm_kb" "$pyrm_s" "$n"
  ratio "$un_kb" "$pyrm_kb" "$un_s" "$pyrm_s" "python3"
  left=$(find "$work/run/ours" -type f | wc -l)
  echo "  left after the uninstall: $left file(s) (setup.exe)"
done
