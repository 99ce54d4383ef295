#!/usr/bin/env bash
# Makes the Debian packages tarewise, sheetwise and corvel in one command: installs what
# is missing, builds a release build in build-package/ and writes the .deb files into
# out/packages/ (install them with: sudo apt install ./out/packages/*.deb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build-package -DCMAKE_BUILD_TYPE=Release -DCORVEL_BENCH=OFF
rm -rf out/packages
cpack --config build-package/CPackConfig.cmake -G DEB -B out/packages
rm -rf out/packages/_CPack_Packages
ls -1 out/packages/*.deb
