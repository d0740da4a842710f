#!/usr/bin/env bash
# Peak memory and time of the page analysis of a page of many links, beside
# libxml2's own parse of the same page (xmllint --html --noout), each in a
# process of its own, with the ratio of the two.
#
#   ninja -C build-rel bench_page_memory
#   bench/page_memory.sh build-rel/bench/bench_page_memory [LINKS]
#   bench/page_memory.sh build-rel/bench/bench_page_memory nest|latenest [BYTES]
#
# LINKS defaults to 1,000,000 (a page of about 53 MB); "nest" measures a page
# of nothing but nested opening tags instead, BYTES (default 5,000,000) long;
# "latenest" the same behind a DOCTYPE that follows content.
# Needs xmllint (libxml2-utils) and GNU time (/usr/bin/time).
set -euo pipefail
export LC_ALL=C
bin="${1:?usage: page_memory.sh BENCH_PAGE_MEMORY [LINKS]}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
page="$work/page.html"
peer=(xmllint --html --noout)
if [ "${2:-}" = "nest" ] || [ "${2:-}" = "latenest" ]; then
  "$bin" "$2" "$page" "${3:-5000000}"
  peer=(xmllint --html --huge --noout)  # past depth 256 only with --huge
else
  "$bin" make "$page" "${2:-1000000}"
fi

# Peak resident kB and seconds of a command.
measure() { /usr/bin/time -f "%M %e" -o "$work/time" "$@" >/dev/null && cat "$work/time"; }

read -r peer_kb peer_s < <(measure "${peer[@]}" "$page")
read -r ours_kb ours_s < <(measure "$bin" analyse "$page")
page_kb=$(( $(stat -c %s "$page") / 1024 ))
printf 'page                         %8d kB\n' "$page_kb"
printf '%-28s %8d kB  %6.2f s\n' "${peer[*]}" "$peer_kb" "$peer_s"
printf 'analysis (parse and walk)    %8d kB  %6.2f s\n' "$ours_kb" "$ours_s"
awk -v a="$ours_kb" -v b="$peer_kb" -v c="$ours_s" -v d="$peer_s" -v p="$page_kb" 'BEGIN {
    printf "ratio to xmllint: memory %.2f, time %.2f; memory per page size %.1f\n", a / b, c / d, a / p }'
