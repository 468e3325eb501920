#!/usr/bin/env bash
# Installs what the project needs, then builds and runs every test suite in both
# build trees, the default one and the AddressSanitizer/UBSan one, and the
# threaded parts (worker, channel, thread object) once more under
# ThreadSanitizer. After the default tree's tests, whole updates through the
# kernel's own serial drivers in a QEMU guest. Then cross-builds the Windows tree and runs its tests under
# Wine (private prefixes under build-windows/, WINEDEBUG=-all, every Wine call
# under `timeout`), the command-line end-to-end scenarios included:
# updater-cli.exe against the Linux instrument-sim. The Wine servers are
# stopped at the end, also when something failed. Last, builds the packages
# and tries them as installed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
jobs=$(nproc)

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
trap 'wine_stop_all_servers build-windows 2>/dev/null || true' EXIT
export WINEDEBUG=-all

# default comes first: the Windows tree's end-to-end test runs the Linux
# tree's test program and simulator.
for preset in default asan tsan windows; do
  echo "== $preset: configure"
  cmake --preset "$preset" -DUPDATER_WERROR="$werror" >/dev/null
  echo "== $preset: build"
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs"
  [ "$preset" != default ] || { echo "== drivers: test"; ctest --preset drivers; }
done

# Each fuzz target for about FUZZ_SECONDS seconds (default 30) over its seed
# corpus and the kept regression inputs.
echo "== fuzz"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

# A short image-integrity run: the sizes that must always be tried.
echo "== image integrity"
bash scripts/integrity.sh "${INTEGRITY_COUNT:-8}"

echo "== packages"
bash scripts/package-test.sh
