#!/usr/bin/env bash
# Builds the packages into out/packages/: the Debian package from a release
# tree (build-package/, installed under /usr) and, when the Windows tree
# exists or can be built, the Windows archive updater-windows-<version>.zip.
#   scripts/package.sh            both packages
#   scripts/package.sh deb        the Debian package only
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
jobs=$(nproc)
mkdir -p out/packages

echo "== Debian package"
# Debian's own compiler and linker flags, hardening included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DUPDATER_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build-package -j "$jobs"
(cd build-package && cpack -G DEB)

if [ "$what" = all ] && cmake --list-presets 2>/dev/null | grep -q '"windows"'; then
  echo "== Windows archive"
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$jobs"
  (cd build-windows && cpack -G ZIP)
fi
ls -l out/packages
