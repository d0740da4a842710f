#!/usr/bin/env bash
# Cost of a fetch, and what the shared cookie store keeps, against many host
# names that each set one large cookie: after 100 hosts and after 3,000 (the
# bound of the stores), beside python3's http.cookiejar doing the same work
# in the same run (the Cookie header of each request, the Set-Cookie of its
# reply). The cost per fetch should stay about the same.
#
#   ninja -C build bench_cookie_store
#   bench/cookie_store.sh build/bench/bench_cookie_store [FETCHES] [SIZE]
set -euo pipefail
bin="${1:?usage: cookie_store.sh BENCH_COOKIE_STORE [FETCHES] [SIZE]}"
fetches="${2:-1000}"
size="${3:-4000}"

peer() {
  python3 - "$1" "$2" "$3" <<'PY'
import email.message, http.cookiejar, sys, time, urllib.request
hosts, fetches, size = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
jar = http.cookiejar.CookieJar()
value = "x" * size
class Reply:
    def __init__(self, msg): self.msg = msg
    def info(self): return self.msg
nxt = 0
def fetch():
    global nxt
    req = urllib.request.Request("http://h%d.test/seite.html" % nxt); nxt += 1
    jar.add_cookie_header(req)
    msg = email.message.Message()
    msg["Set-Cookie"] = "sid=" + value + "; Path=/"
    jar.extract_cookies(Reply(msg), req)
while nxt < hosts: fetch()
t = time.perf_counter()
for _ in range(fetches): fetch()
kept = list(jar)
print("%.2f %d %d" % ((time.perf_counter() - t) * 1e6 / fetches, len(kept),
                      sum(len(c.name) + len(c.value) for c in kept)))
PY
}

for hosts in 100 3000; do
  read -r ours kept bytes < <("$bin" "$hosts" "$fetches" "$size")
  read -r theirs pkept pbytes < <(peer "$hosts" "$fetches" "$size")
  printf 'after %6d hosts: %8.2f us per fetch, shared store %5d cookies %6.1f MB; python3 http.cookiejar %8.2f us, %5d cookies %6.1f MB; ratio %.4f\n' \
    "$hosts" "$ours" "$kept" "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')" \
    "$theirs" "$pkept" "$(awk -v b="$pbytes" 'BEGIN { print b / 1048576 }')" \
    "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
done
