#!/usr/bin/env bash
# Fetch speed against a local nginx on the loopback interface:
#  1. 1,000 sequential htget of a small page in one script run, over one
#     kept-alive connection, beside one curl process fetching the same 1,000
#     URLs (pages per second; the run should reach at least half of curl's
#     rate);
#  2. htget of bodies of 10, 25 and 50 MB: the time of the fetch with data
#     and rawdata built (and the page parsed) should grow in step with the
#     size, so the time per byte should stay about the same.
#
# Run it against an optimised build:
#   cmake -S . -B build-rel -G Ninja -DSKIMLARK_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
#   ninja -C build-rel skimlark-run
#   bench/http_fetch.sh build-rel/skimlark-run
# Needs nginx and curl (scripts/install-deps.sh). nginx runs from a config in
# a temp folder on a free 127.0.0.1 port and is stopped at the end; run as
# root, its worker takes the default unprivileged user, so the folder is
# made world-readable.
set -euo pipefail
export LC_ALL=C
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/find-skimlark-run.sh"
bin="$(find_skimlark_run "$root" "${1:-}")"
[ -x "$bin" ] || { echo "http_fetch.sh: skimlark-run not found" >&2; exit 2; }
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] || { echo "http_fetch.sh: nginx missing" >&2; exit 2; }
nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"

work="$(mktemp -d)"
chmod 755 "$work"
mkdir -p "$work/www" "$work/tmp" "$work/run"
cleanup() {
  [ -f "$work/run/nginx.pid" ] && kill "$(cat "$work/run/nginx.pid")" 2>/dev/null || true
  sleep 0.2
  rm -rf "$work"
}
trap cleanup EXIT

port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
cat >"$work/www/index.html" <<'HTML'
<html><head><title>Klein</title></head><body>
<p>Eine kleine Seite mit einem <a href="/weiter.html">Link</a>.</p>
<form action="/suche" method="get"><input name="q" value=""></form>
</body></html>
HTML
python3 - "$work/www" <<'PY'
import sys
line = b"x" * 99 + b"\n"
for mb in (10, 25, 50):
    with open("%s/big%d.txt" % (sys.argv[1], mb), "wb") as f:
        f.write(line * (mb * 10486))
PY

cat >"$work/nginx.conf" <<CONF
daemon on;
master_process on;
worker_processes 1;
pid $work/run/nginx.pid;
error_log $work/run/error.log;
events { worker_connections 64; }
http {
  log_format conn '\$connection \$request';
  access_log $work/run/access.log conn;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  keepalive_requests 100000;
  keepalive_timeout 60s;
  types { text/html html; text/plain txt; }
  server {
    listen 127.0.0.1:$port;
    root $work/www;
  }
}
CONF
"$nginx_bin" -c "$work/nginx.conf" -p "$work/" -e "$work/run/error.log" || { cat "$work/run/error.log" >&2; exit 1; }
for _ in $(seq 1 50); do
  curl -s -o /dev/null "http://127.0.0.1:$port/index.html" && break
  sleep 0.1
done

url="http://127.0.0.1:$port/index.html"
now() { date +%s.%N; }
# Arithmetic on decimal figures (awk: no further tool needed).
calc() { awk "BEGIN { printf \"%.9f\", $1 }"; }

# An empty run measures the program's start, which the rate leaves out.
echo 'x = 1' >"$work/empty.skl"
cat >"$work/loop.skl" <<'SKL'
i = 0
while i lt 1000 do
s = htget(URL)
i = i + 1
done
print(s, " ", i)
SKL

# The best of three runs of a command, in seconds; its output goes to
# $work/out.
best() {
  local b="" t0 t1 d
  for _ in 1 2 3; do
    t0=$(now); "$@" >"$work/out"; t1=$(now)
    d=$(calc "$t1 - $t0")
    if [ -z "$b" ] || [ "$(calc "$d < $b")" != "0.000000000" ]; then b=$d; fi
  done
  echo "$b"
}

start=$(best "$bin" "$work/empty.skl")
: >"$work/run/access.log"
run_time=$(calc "$(best "$bin" "-vURL=$url" "$work/loop.skl") - $start")
out="$(cat "$work/out")"
[ "$out" = "200 1000" ] || { echo "http_fetch.sh: the run said: $out" >&2; exit 1; }
# Three runs, each over one connection of its own.
conns=$(awk '{print $1}' "$work/run/access.log" | sort -u | wc -l)
reqs=$(wc -l <"$work/run/access.log")

args=()
for _ in $(seq 1 1000); do args+=(-o /dev/null "$url"); done
curl_time=$(best curl -s "${args[@]}")

run_rate=$(calc "1000 / $run_time")
curl_rate=$(calc "1000 / $curl_time")
printf 'htget of a small page:  %7.0f pages/s  (best of 3 runs; %d requests over %d connection(s); program start %.3f s left out)\n' \
  "$run_rate" "$reqs" "$conns" "$start"
printf 'curl, same 1,000 URLs:  %7.0f pages/s  (best of 3)\n' "$curl_rate"
printf 'ratio:                  %7.2f (at least 0.5 wanted)\n' "$(calc "$run_rate / $curl_rate")"

# Large bodies: one htget with data and rawdata built and the page parsed
# (and the script's two length() calls); curl moving the same bytes beside it.
cat >"$work/big.skl" <<'SKL'
s = htget(URL)
print(s, " ", length(data), " ", length(rawdata))
SKL
for mb in 10 25 50; do
  big="http://127.0.0.1:$port/big$mb.txt"
  total=$(calc "$(best "$bin" "-vURL=$big" "$work/big.skl") - $start")
  out="$(cat "$work/out")"
  transfer=$(best curl -s -o /dev/null "$big")
  printf 'htget of %2d MB: %.3f s (curl alone %.3f s), %.1f ns per byte; %s\n' "$mb" "$total" "$transfer" \
    "$(calc "$total * 1000000000 / ($mb * 1048576)")" "$out"
done
