#!/usr/bin/env bash
# Image integrity over many consecutive updates: updater-cli against
# `instrument-sim --no-line-time` that compares what it receives with the
# images byte for byte. For every update new random images are written
# (update image sizes 2, 3, 99, 100, 101 and one over 1 MiB first (over
# 128 KiB in a run shorter than 200), then
# random ones up to 64 KiB; random kernels of 0 to 4096 bytes), and a new
# simulator is started with them: one that serves in a loop knows only the
# images it started with. An update counts as verified only when
# updater-cli says "Update successful." and the simulator ends with status 0
# (completed, both images byte-exact), and as failed-with-text when
# updater-cli ends with a failure text. Anything else (success with other
# bytes, no final text) fails the script.
#
#   scripts/integrity.sh [COUNT]   (default 200; CI runs a short one)
#
# Uses the programs in $UPDATER_BUILD/bin (default: build/bin); build first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath -m "${UPDATER_BUILD:-$root/build}/bin")
full_run_count=200
count=${1:-$full_run_count}
for program in updater-cli instrument-sim; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program: build it first" >&2; exit 2; }
done
# shellcheck source=scripts/simulator.sh
source "$root/scripts/simulator.sh"
make_workspace

link="$work/instrument"
printf '[UPDATE]\nversion=9.9\ninstrument=Integrity\nkernel_file=%s\nupdate_file=%s\n' \
  "$work/kernel.bin" "$work/update.bin" >"$work/update.ini"

# The large image crosses 1 MiB in a full run. On the paced line it takes
# about 5 minutes alone, so a short run (CI's 8) takes one over 128 KiB
# instead (about 35 s); the full run keeps the one over 1 MiB.
if ((count >= full_run_count)); then
  large_size=$((1024 * 1024 + 1 + RANDOM))
else
  large_size=$((128 * 1024 + 1 + RANDOM))
fi
fixed_sizes=(2 3 99 100 101 "$large_size")
verified=0 failed_with_text=0 bad=0
started=$(date +%s)
for ((run = 0; run < count; run++)); do
  if ((run < ${#fixed_sizes[@]})); then
    update_size=${fixed_sizes[$run]}
  else
    update_size=$((2 + (RANDOM * 32768 + RANDOM) % 65535))
  fi
  kernel_size=$(((RANDOM * 32768 + RANDOM) % 4097))
  head -c "$kernel_size" /dev/urandom >"$work/kernel.bin"
  head -c "$update_size" /dev/urandom >"$work/update.bin"

  start_simulator "$bin" "$link" "$work/sim.out" "$work/sim.err" --no-line-time --method 1 \
    --kernel "$work/kernel.bin" --update "$work/update.bin" --idle-timeout 30
  set +e
  "$bin/updater-cli" --ini "$work/update.ini" --device "$link" --yes --raw >"$work/cli.out" 2>"$work/cli.err"
  cli_status=$?
  wait "$sim_pid"
  sim_status=$?
  set -e
  sim_pid=""
  last=$(tail -n 1 "$work/cli.out")
  if [ "$cli_status" -eq 0 ] && [ "$last" = "Update successful." ] && [ "$sim_status" -eq 0 ]; then
    verified=$((verified + 1))
  elif [ "$cli_status" -eq 1 ] && [ -n "$last" ] && [ "${last#DATA:}" = "$last" ]; then
    failed_with_text=$((failed_with_text + 1))
    echo "update $run (kernel $kernel_size, update $update_size bytes) failed: $last"
  else
    bad=$((bad + 1))
    echo "update $run (kernel $kernel_size, update $update_size bytes): status $cli_status, last \"$last\"," \
      "simulator status $sim_status:" >&2
    cat "$work/sim.out" >&2
  fi
done
echo "integrity: $count updates in $(($(date +%s) - started)) s: $verified byte-exact, $failed_with_text failed with their text, $bad wrong"
[ "$bad" -eq 0 ]
