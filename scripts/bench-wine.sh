#!/usr/bin/env bash
# CPU share of one whole update by updater-cli.exe under Wine against the
# simulated instrument, with each byte taking its real line time:
#   (user + system time of the wine process and of every process of the Wine
#    prefix, wineserver included) / wall time of the update.
#
#   scripts/bench-wine.sh [KERNEL_BYTES [UPDATE_BYTES]]   (default 4096 65536)
#
# Uses build/bin (instrument-sim, sample-images) and build-windows/bin
# (updater-cli.exe); build both first. Runs in a private Wine prefix
# (build-windows/wine-prefix-bench) whose server is stopped at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/build/bin"
exe="$root/build-windows/bin/updater-cli.exe"
kernel_bytes=${1:-4096}
update_bytes=${2:-65536}
port=${WINE_BENCH_PORT:-5}
for program in "$bin/instrument-sim" "$bin/sample-images" "$exe"; do
  [ -e "$program" ] || { echo "missing $program: build it first" >&2; exit 2; }
done

# shellcheck source=scripts/simulator.sh
source "$root/scripts/simulator.sh"
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
make_workspace
trap 'stop_simulator; wine_server_stop 2>/dev/null || true; rm -rf "$work"' EXIT

"$bin/sample-images" "$work" "$kernel_bytes" "$update_bytes" >/dev/null
cat >"$work/update.ini" <<INI
[UPDATE]
version=2.1.0
instrument=Bench
parent_tag=<ORV72>
kernel_file=Z:${work//\//\\}\\kernel.bin
update_file=Z:${work//\//\\}\\update.bin
INI
start_simulator "$bin" "$work/instrument" "$work/sim.out" "$work/sim.err" \
  --kernel "$work/kernel.bin" --update "$work/update.bin"
wine_env_init "$root/build-windows" wine-prefix-bench
wine_map_com "$port" "$work/instrument"
# Start-up costs are not the update's: the prefix's helper processes run.
wine_run cmd /c exit >/dev/null 2>&1 || true

# Clock ticks (user + system) of the prefix's processes, one "pid ticks" line each.
prefix_ticks() {
  local pid
  for pid in $(pgrep -u "$(id -u)" .); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    awk -v pid="$pid" '{ sub(/^.*\) /, ""); print pid, $12 + $13 }' "/proc/$pid/stat" 2>/dev/null || true
  done
}
prefix_ticks >"$work/before"
TIMEFORMAT='%R %U %S'
# Timed in a subshell of its own: `time` adds the CPU of every child that its
# shell reaps meanwhile, and the simulator, this shell's background child,
# ends during the update's final pause.
( time wine_run "$exe" --ini "Z:${work//\//\\}\\update.ini" --device "COM$port" --yes --raw \
    >"$work/lines" 2>/dev/null ) 2>"$work/usage"
prefix_ticks >"$work/after"
stop_simulator

hz=$(getconf CLK_TCK)
awk -v hz="$hz" -v usage="$(cat "$work/usage")" -v result="$(tail -n 1 "$work/lines" | tr -d '\r')" '
  FNR == NR { before[$1] = $2; next }
  { extra += $2 - ($1 in before ? before[$1] : 0) }
  END {
    split(usage, u, " ")
    wall = u[1]; own = u[2] + u[3]; helpers = extra / hz
    printf "result: %s\n", result
    printf "updater-cli.exe under Wine: %.2f s wall; CPU %.2f s (wine process, %.2f user + %.2f system) + %.2f s (wineserver and the prefix'"'"'s helpers)\n",
           wall, own, u[2], u[3], helpers
    printf "CPU share of the update: %.1f%% of one core\n", 100 * (own + helpers) / wall
  }' "$work/before" "$work/after"
