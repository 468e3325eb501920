#!/usr/bin/env bash
# The main job, without hardware: builds everything, starts the simulated
# instrument on a pseudo-terminal with the sample images, runs a complete
# update with updater-cli against it, and shows the result and the
# simulator's byte-exact verdict. Exits non-zero when either is not good.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

bin=build/bin
ini=samples/update.ini
# shellcheck source=scripts/simulator.sh
source scripts/simulator.sh
make_workspace
link="$work/instrument"
trap 'exit 130' INT TERM

echo
echo "== Starting the simulated instrument"
start_simulator "$bin" "$link" "$work/sim.out" "$work/sim.err" \
  --kernel samples/kernel.bin --update samples/update.bin || exit 1
echo "instrument-sim serves on $(head -n 1 "$work/sim.out") (also $link)"

echo
echo "== $bin/updater-cli --ini $ini --device $link --yes"
cli_status=0
"$bin/updater-cli" --ini "$ini" --device "$link" --yes || cli_status=$?
echo "updater-cli exit status: $cli_status"

echo
echo "== The simulator's verdict"
sim_status=0
for _ in $(seq 200); do
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$sim_pid" 2>/dev/null; then
  kill "$sim_pid" 2>/dev/null || true
fi
wait "$sim_pid" || sim_status=$?
sim_pid=""
tail -n +2 "$work/sim.out"

echo
if [ "$cli_status" -eq 0 ] && [ "$sim_status" -eq 0 ]; then
  echo "Demo passed: Update successful, and both images arrived byte-exact."
  exit 0
fi
echo "Demo FAILED: updater-cli exit status $cli_status, simulator exit status $sim_status." >&2
exit 1
