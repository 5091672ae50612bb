#!/usr/bin/env bash
# Brings a Debian 12 machine to what the project needs, builds it, then
#   run   starts the window (the default)
#   test  runs every test
#   bench runs every benchmark
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-run}"

packages=(
  g++ cmake ninja-build pkgconf
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6opengl6-dev qt6-charts-dev
  qt6-httpserver-dev qt6-websockets-dev
  libsqlitecpp-dev libsqlite3-dev libboost-math-dev libxlsxwriter-dev zlib1g-dev libxml2-dev
  libcurl4-openssl-dev libgtest-dev libbenchmark-dev
  fonts-wqy-microhei python3 python3-openpyxl xdg-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake --preset default
cmake --build --preset default

case "$mode" in
  run) exec ./build/src/brenvik3d ;;
  test) exec ctest --preset default ;;
  bench) exec ./scripts/bench.sh ;;
  *) echo "usage: $0 [run|test|bench]" >&2; exit 2 ;;
esac
