#!/usr/bin/env bash
# Brings a Debian 12 machine to what the project needs, builds it, then
#   run      starts the window (the default): only the programs are built
#   test     runs every test: tests and benchmarks are built
#   bench    runs every benchmark
#   package  builds the Debian package in build-release/
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-run}"

# What the programs need to build and to run.
packages=(
  g++ cmake ninja-build pkgconf
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6opengl6-dev qt6-charts-dev
  libsqlitecpp-dev libsqlite3-dev libboost-math-dev libxlsxwriter-dev zlib1g-dev libxml2-dev
  libcurl4-openssl-dev nlohmann-json3-dev libcli11-dev
  fonts-wqy-microhei qt6-translations-l10n xdg-utils
)
# The tests and benchmarks: the loopback chart server, the test libraries, the spreadsheet reader
# and the validators of the installed desktop files.
test_packages=(
  qt6-httpserver-dev qt6-websockets-dev
  libgtest-dev libbenchmark-dev
  python3 python3-openpyxl
  desktop-file-utils appstream man-db
)
# The package: dpkg-shlibdeps finds its dependencies, and it needs `file`.
package_packages=(dpkg-dev file)

case "$mode" in
  run) ;;
  test | bench) packages+=("${test_packages[@]}") ;;
  package) packages+=("${package_packages[@]}") ;;
  *) echo "usage: $0 [run|test|bench|package]" >&2; exit 2 ;;
esac

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

case "$mode" in
  run)
    cmake --preset default -DBUILD_TESTING=OFF -DBRENVIK_BENCH=OFF
    cmake --build --preset default
    exec ./build/src/brenvik3d
    ;;
  test)
    cmake --preset default -DBUILD_TESTING=ON -DBRENVIK_BENCH=ON
    cmake --build --preset default
    exec ctest --preset default
    ;;
  bench) exec ./scripts/bench.sh ;;
  package)
    cmake --preset release
    cmake --build --preset release
    cd build-release
    cpack -G DEB
    ls -1 "$PWD"/brenvik3d_*.deb
    ;;
esac
