# Sourced by the scripts that start skimlark-run.
# find_skimlark_run ROOT [PATH]: prints PATH when given, else the first
# skimlark-run of ROOT's build folders ("" when there is none).
find_skimlark_run() {
  local root="$1" given="${2:-}" candidate
  if [ -n "$given" ]; then
    echo "$given"
    return
  fi
  for candidate in "$root"/build/skimlark-run "$root"/build*/skimlark-run; do
    if [ -x "$candidate" ]; then
      echo "$candidate"
      return
    fi
  done
}
