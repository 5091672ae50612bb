#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
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
  libsqlitecpp-dev libsqlite3-dev libboost-math-dev libxlsxwriter-dev libminizip-dev libxml2-dev
  libcurl4-openssl-dev nlohmann-json3-dev libcli11-dev
  fonts-wqy-microhei qt6-translations-l10n xdg-utils
)
# The tests and benchmarks: the loopback chart server, the test libraries, the spreadsheet reader,
# the validators of the installed desktop files and changelog, and of the companion's JSON, and
# the shells whose completion is checked.
test_packages=(
  qt6-httpserver-dev qt6-websockets-dev
  libgtest-dev libbenchmark-dev
  python3 python3-openpyxl python3-jsonschema
  desktop-file-utils appstream man-db dpkg-dev zsh fish
)
# The package: dpkg-buildflags gives the distribution's flags, dpkg-shlibdeps finds its
# dependencies (and needs `file`), lintian looks at the result as Debian would, and the install
# check looks at what the package holds (its loopback chart site is a few lines of Python, and it
# runs the completion of each shell).
package_packages=(dpkg-dev file lintian desktop-file-utils appstream man-db python3 zsh fish)

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
    rm -f brenvik3d_*.deb
    cpack -G DEB
    deb=$(ls "$PWD"/brenvik3d_*.deb)
    echo "$deb"
    echo "Depends: $(dpkg-deb -f "$deb" Depends)"
    # Errors, warnings, remarks and pedantic remarks fail the package, a missing hardening feature
    # among them; what is meant as it is stands in the package's overrides with its reason.
    status=0
    lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$deb" >lintian.txt 2>&1 || status=$?
    grep -v 'running with root privileges' lintian.txt || true
    if ((status)) || grep -q 'hardening-' lintian.txt; then
      echo "lintian finds fault with the package" >&2
      exit 1
    fi
    echo "lintian --pedantic --display-info: no error, warning, remark or pedantic remark"
    cd ..
    bash tests/install/InstallCheck.sh "$deb" "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-release/CMakeCache.txt)"
    ;;
esac
