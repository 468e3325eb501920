#!/usr/bin/env bash
# Installs what the project needs, then builds and runs every test suite in both
# build trees, the default one and the AddressSanitizer/UBSan one, and the
# threaded parts (worker, channel, thread object) once more under
# ThreadSanitizer.
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

# Each fuzz target for about FUZZ_SECONDS seconds (default 30) over its seed
# corpus and the kept regression inputs.
echo "== fuzz"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

# A short image-integrity run: the sizes that must always be tried.
echo "== image integrity"
bash scripts/integrity.sh "${INTEGRITY_COUNT:-8}"
