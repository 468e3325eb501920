#!/usr/bin/env bash
# The demo under Wine: builds instrument-sim (Linux tree) and updater-cli.exe
# (Windows tree), starts the simulated instrument on a pseudo-terminal with the
# sample images, points COM<N> at it through Wine's port table in a private
# prefix (build-windows/wine-prefix-demo), runs
#   updater-cli.exe --ini samples\update.ini --device COM<N> --yes
# under Wine, and shows its exit status and the simulator's byte-exact verdict.
# Exits non-zero when either is not good. The Wine server is stopped at the end.
#   WINE_DEMO_PORT   the COM port number used (default 5)
#   CLI_ARGS         more options for updater-cli.exe (e.g. "--raw")
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target instrument-sim
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target updater-cli

port=${WINE_DEMO_PORT:-5}
# shellcheck source=scripts/simulator.sh
source scripts/simulator.sh
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
make_workspace
trap 'stop_simulator; wine_server_stop 2>/dev/null || true; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
link="$work/instrument"

echo
echo "== Starting the simulated instrument"
start_simulator build/bin "$link" "$work/sim.out" "$work/sim.err" \
  --kernel samples/kernel.bin --update samples/update.bin || exit 1
echo "instrument-sim serves on $(head -n 1 "$work/sim.out") (also $link)"

echo
echo "== Wine prefix build-windows/wine-prefix-demo, COM$port -> $(readlink -f "$link")"
wine_env_init build-windows wine-prefix-demo
wine_map_com "$port" "$link"

echo
echo "== wine build-windows/bin/updater-cli.exe --ini samples\\update.ini --device COM$port --yes ${CLI_ARGS:-}"
cli_status=0
# shellcheck disable=SC2086  # CLI_ARGS holds options, split on purpose
wine_run build-windows/bin/updater-cli.exe --ini 'samples\update.ini' --device "COM$port" --yes ${CLI_ARGS:-} ||
  cli_status=$?
echo "updater-cli.exe exit status: $cli_status"

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
  echo "Wine demo passed: Update successful, and both images arrived byte-exact."
  exit 0
fi
echo "Wine demo FAILED (updater-cli.exe $cli_status, instrument-sim $sim_status)."
exit 1
