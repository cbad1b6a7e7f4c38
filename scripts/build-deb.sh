#!/usr/bin/env bash
# Builds the Debian package korvel_<version>_<arch>.deb into build-deb/ (a release build without
# tests, installed under /usr) and checks it with lintian. Needs the packages of setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKORVEL_BUILD_TESTS=OFF
cmake --build build-deb
(cd build-deb && cpack -G DEB)
deb=$(ls build-deb/korvel_*.deb)
# Errors fail the build; warnings are listed.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "$deb"
