#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the benchmarks need.
# Idempotent: packages already present are left alone. Must run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang
  libxml2-dev libpcre3-dev libcurl4-openssl-dev libssl-dev
  zlib1g-dev libminizip-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webchannel-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pyftpdlib openssl nginx curl xvfb xauth locales-all
)

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
