#!/usr/bin/env bash
# Cost of a fetch against a site that sets a new cookie name on every reply,
# after 10 and after 100,000 names, beside the same bounded store in python3
# (a dict and a queue) doing the same work in the same run.
#
#   ninja -C build bench_cookie_store
#   bench/cookie_store.sh build/bench/bench_cookie_store [FETCHES]
set -euo pipefail
bin="${1:?usage: cookie_store.sh BENCH_COOKIE_STORE [FETCHES]}"
fetches="${2:-2000}"

peer() {
  python3 - "$1" "$2" <<'PY'
import sys, time
from collections import deque
names, fetches = int(sys.argv[1]), int(sys.argv[2])
store, order, run, nxt = {}, deque(), deque(), 0
def reply():
    global nxt
    run.append("n%d=wert" % nxt); nxt += 1
    if len(run) > 150: run.popleft()
    for c in run:
        name, _, value = c.partition("=")
        if name not in store:
            order.append(name)
            if len(order) > 150: del store[order.popleft()]
        store[name] = value
while nxt < names: reply()
t = time.perf_counter()
for _ in range(fetches): reply()
print("%.2f %d" % ((time.perf_counter() - t) * 1e6 / fetches, len(store)))
PY
}

for names in 10 100000; do
  read -r ours kept < <("$bin" "$names" "$fetches")
  read -r theirs _ < <(peer "$names" "$fetches")
  printf 'after %6d names: %8.2f us per fetch (%d kept), python3 %8.2f us, ratio %.2f\n' \
    "$names" "$ours" "$kept" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
done
