#!/usr/bin/env bash
# Benchmark of a whole update over a pseudo-terminal against the simulated
# instrument, with each byte taking its real line time:
#   - the kernel's echoed transfer and the update image's streamed transfer,
#     in bytes per second and as a share of what 38400 baud allows;
#   - the CPU time and the peak memory of updater-cli over the whole run.
#
#   scripts/bench.sh [KERNEL_BYTES [UPDATE_BYTES]]   (default 4096 65536)
#
# Uses the programs in $UPDATER_BUILD/bin (default: build/bin); build first.
# SIM_OPTIONS passes options to the simulator (--no-line-time measures the
# updater's own ceiling, with bytes arriving as fast as the host sends them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath -m "${UPDATER_BUILD:-$root/build}/bin")
kernel_bytes=${1:-4096}
update_bytes=${2:-65536}
for program in updater-cli instrument-sim sample-images; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program: build it first" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "bench.sh needs GNU time (Debian package: time)" >&2; exit 2; }

# shellcheck source=scripts/simulator.sh
source "$root/scripts/simulator.sh"
make_workspace

"$bin/sample-images" "$work" "$kernel_bytes" "$update_bytes" >/dev/null
cat >"$work/update.ini" <<INI
[UPDATE]
version=2.1.0
instrument=Bench
parent_tag=<ORV72>
kernel_file=$work/kernel.bin
update_file=$work/update.bin
INI
# shellcheck disable=SC2086 # SIM_OPTIONS holds several options
start_simulator "$bin" "$work/instrument" "$work/sim.out" "$work/sim.err" \
  --kernel "$work/kernel.bin" --update "$work/update.bin" ${SIM_OPTIONS:-}

# Each line the worker posts, stamped with the time it reached standard output.
/usr/bin/time -f '%e %U %S %M' -o "$work/usage" \
  "$bin/updater-cli" --ini "$work/update.ini" --device "$work/instrument" --yes --raw 2>/dev/null |
  while IFS= read -r line; do printf '%s %s\n' "$(date +%s.%N)" "$line"; done >"$work/lines"
stop_simulator

awk -v kernel="$kernel_bytes" -v update="$update_bytes" -v usage="$(cat "$work/usage")" '
  { t = $1; $1 = ""; text = substr($0, 2) }
  # The step texts as updater-cli --raw prints them.
  text ~ /^Sending kernel[.]$/  { kernel_start = t }
  text ~ /^Sending update[.]$/  { kernel_end = t; update_start = t }
  text ~ /^Clearing flash[.]$/  { update_end = t }
  { last = text }
  END {
    line_rate = 38400 / 10   # bytes per second on the wire, one way
    split(usage, u, " ")
    printf "result: %s\n", last
    # The kernel: every byte crosses the line twice (byte and echo).
    k = kernel_end - kernel_start
    printf "kernel %d bytes echoed in %.2f s: %.0f bytes/s, %.0f%% of the %.0f bytes/s a round trip allows\n",
           kernel, k, kernel / k, 100 * (kernel / k) / (line_rate / 2), line_rate / 2
    # The update, from its command to its status byte: the 1000 ms hold-back
    # of the last two bytes overlaps the drain of the transmit queue whenever
    # the queue holds more than a second of data.
    s = update_end - update_start
    printf "update %d bytes streamed in %.2f s (command to status): %.0f bytes/s, %.0f%% of the line'"'"'s %.0f bytes/s\n",
           update, s, update / s, 100 * (update / s) / line_rate, line_rate
    printf "updater-cli: %.2f s in all, CPU %.2f s user + %.2f s system, peak memory %d KiB\n",
           u[1], u[2], u[3], u[4]
  }' "$work/lines"
