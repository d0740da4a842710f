#!/usr/bin/env bash
# Runs skripte/demo.skl against the demo site on a free loopback port.
# Usage: scripts/run-demo.sh [path/to/skimlark-run]
#        scripts/run-demo.sh path/to/skimlark
# With skimlark-run the exit status is that of the run. With the window
# program the site's address is passed as the variable SITE and no script is
# named (a named script would run at once and end the program): open
# skripte/demo.skl in the window and run it; the site ends with the window.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

. "$root/scripts/find-skimlark-run.sh"
bin="$(find_skimlark_run "$root" "${1:-}")"
if [ -z "$bin" ] || [ ! -x "$bin" ]; then
  echo "run-demo.sh: skimlark-run not found (build first, or name it as argument)" >&2
  exit 2
fi

python="$(command -v python3)"
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
work="$(mktemp -d)"
mkfifo "$work/in"
# The server ends when its stdin closes; it is also stopped below.
"$python" "$root/scripts/demo-site.py" --exit-on-eof <"$work/in" >"$work/port" 2>"$work/server.log" &
server=$!
exec 3>"$work/in"
cleanup() {
  exec 3>&-
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

port=""
for _ in $(seq 1 100); do
  port="$(sed -n 's/^PORT //p' "$work/port")"
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "run-demo.sh: the demo site did not start" >&2
  cat "$work/server.log" >&2
  exit 2
fi

site="-vSITE=http://127.0.0.1:$port"
if [ "$(basename "$bin")" = "skimlark" ]; then
  echo "run-demo.sh: demo site at http://127.0.0.1:$port; open skripte/demo.skl in the window and press F9" >&2
  "$bin" "$site"
else
  "$bin" "$site" "$root/skripte/demo.skl"
fi
