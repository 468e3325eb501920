#!/usr/bin/env bash
# Installs what the project needs, then builds and runs every test suite in both
# build trees, the default one and the AddressSanitizer/UBSan one, and the
# threaded parts (worker, channel, thread object) once more under
# ThreadSanitizer; then builds the packages and tries them as installed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
jobs=$(nproc)

for preset in default asan tsan; do
  echo "== $preset: configure"
  cmake --preset "$preset" -DUPDATER_WERROR="$werror" >/dev/null
  echo "== $preset: build"
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs"
done

echo "== packages"
bash scripts/package-test.sh
