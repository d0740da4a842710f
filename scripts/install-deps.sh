#!/usr/bin/env bash
# Installs the Debian packages that Skimlark needs. Must run as root.
# Usage: scripts/install-deps.sh [demo|all]
#   demo  only what building skimlark-run and running the demo need
#   all   (default) the build of every program, the tests and the benchmarks
# Idempotent: packages already present are left alone.
set -euo pipefail

set_name="${1:-all}"

# skimlark-run and the demo site.
demo=(
  build-essential cmake ninja-build pkg-config
  libxml2-dev libpcre3-dev libcurl4-openssl-dev libssl-dev
  python3
)

# Everything else: the window program, the browser window and Setup (Qt,
# minizip, Qt's German texts), xdg-open for help pages, documents and URLs, the tests, the
# sanitizer and fuzzing builds (clang), the benchmarks, and the zip tools whose
# archives the installer tests unpack.
rest=(
  clang zlib1g-dev libminizip-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libqt6opengl6-dev
  qt6-translations-l10n
  xdg-utils
  libgtest-dev libgmock-dev libbenchmark-dev libxml2-utils time
  python3-pyftpdlib openssl nginx curl xvfb xauth locales-all
  zip libarchive-tools
)

case "$set_name" in
  demo) packages=("${demo[@]}") ;;
  all) packages=("${demo[@]}" "${rest[@]}") ;;
  *)
    echo "install-deps.sh: unknown set '$set_name' (demo or all)" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh: must run as root to install: ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
