#!/usr/bin/env bash
# Runs the Win32 window's tests (a Windows test program linked with the window)
# under Wine against simulated instruments:
#
#   run_window_tests.sh TEST_PROGRAM BUILD_DIR SIMULATOR [gtest options...]
#
# Four Linux instrument-sim processes (SIMULATOR, from a Linux build tree)
# serve one update each on pseudo-terminals mapped to COM7 (answered Yes),
# COM8 (answered No), COM9 (closed while asked) and COM10 (closed during the
# transfer); each writes its summary to sim-com<N>.json beside the program. The test program runs in a
# Wine prefix of its own (BUILD_DIR/win32-window-tests/wine-prefix) whose
# programs open in a virtual desktop, on a virtual X display (xvfb-run), from a
# folder holding update.ini and the sample images beside it. Exit status: the
# test program's, 1 when the instrument updated with Yes did not confirm both
# images byte-exact, 77 (skipped) without the simulator or xvfb-run.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

if [ "${1:-}" = "--session" ]; then
  # Inside xvfb-run: the mappings, then the test program.
  shift
  work=$1 prefix_dir=$2
  shift 2
  # shellcheck source=scripts/wine-env.sh
  source "$root/scripts/wine-env.sh"
  wine_env_init "$prefix_dir" || exit 1
  wine_run reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
  wine_run reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null
  for n in 7 8 9 10; do wine_map_com "$n" "$work/instrument-com$n" || exit 1; done
  # A window program hangs at its start under the persistent server that
  # wine_map_com leaves running; one that wine starts for it works.
  wine_server_stop
  cd "$work" || exit 1
  WINE_TIMEOUT=540 wine_run ./win32_window_tests.exe "$@" 2>&1 | tr -d '\r'
  status=${PIPESTATUS[0]}
  for n in 7 8 9 10; do wine_unmap_com "$n"; done
  wine_server_stop
  exit "$status"
fi

program=$1 build=$2 simulator=$3
shift 3
if [ ! -x "$simulator" ]; then
  echo "skipped: no Linux instrument-sim at $simulator (build the default preset first)"
  exit 77
fi
command -v xvfb-run >/dev/null || { echo "skipped: xvfb-run is not installed"; exit 77; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

cp "$program" "$work/win32_window_tests.exe"
cp "$root/samples/kernel.bin" "$root/samples/update.bin" "$work/"
cat >"$work/update.ini" <<INI
[UPDATE]
version=2.1.0
instrument=Orvane
parent_tag=<ORV72>
update_file=update.bin
kernel_file=kernel.bin
INI

# One simulated instrument per COM port, each serving one update.
start_instrument() {
  local n=$1
  "$simulator" --kernel "$work/kernel.bin" --update "$work/update.bin" --idle-timeout 300 --json \
    --link "$work/instrument-com$n" >"$work/sim-com$n.json" 2>"$work/sim-com$n.err" &
  pids+=($!)
  for _ in $(seq 100); do
    [ -L "$work/instrument-com$n" ] && return 0
    sleep 0.05
  done
  echo "the simulated instrument for COM$n did not start:" >&2
  cat "$work/sim-com$n.err" >&2
  return 1
}
for n in 7 8 9 10; do start_instrument "$n" || exit 1; done
yes_pid=${pids[0]}

export UPDATER_TEST_YES_PORT=7 UPDATER_TEST_NO_PORT=8 UPDATER_TEST_CLOSE_PORT=9 UPDATER_TEST_TRANSFER_PORT=10
mkdir -p "$build/win32-window-tests"
xvfb-run -a -s "-screen 0 800x600x24" bash "$0" --session "$work" "$build/win32-window-tests" "$@"
status=$?

# The instrument updated with Yes ends by itself; 0 means completed and both images matched.
for _ in $(seq 100); do kill -0 "$yes_pid" 2>/dev/null || break; sleep 0.1; done
if ! kill -0 "$yes_pid" 2>/dev/null && [ "$status" -eq 0 ] && [ -z "${GTEST_FILTER:-}" ] && [ $# -eq 0 ]; then
  wait "$yes_pid"
  verdict=$?
  if [ "$verdict" -ne 0 ]; then
    echo "the instrument updated with Yes reports failure (status $verdict):"
    cat "$work/sim-com7.json"
    status=1
  fi
fi
exit "$status"
