#!/usr/bin/env bash
# Screenshots of the Win32 operator window (updater.exe's window) running a
# whole update under Wine against the simulated instrument, on a virtual X
# display: before the update, at the operator's question, during the
# transfer, and after it.
#
#   scripts/screenshots-win32.sh [output-folder]     (default: out/screenshots-win32)
#
# The window is driven from inside its process by win32_screenshot_driver.exe
# (linked with the same window code as updater.exe), because input from
# outside does not reach Wine's virtual desktop reliably. Uses the Windows
# tree $UPDATER_WIN_BUILD (default build-windows), the simulator of the Linux
# tree $UPDATER_BUILD (default build) and the sample images in samples/.
# Needs wine, xvfb-run and ImageMagick's import.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-out/screenshots-win32}")
win_build=$(realpath -m "${UPDATER_WIN_BUILD:-$root/build-windows}")
bin=$(realpath -m "${UPDATER_BUILD:-$root/build}/bin")
driver="$win_build/tests/win32_screenshot_driver.exe"
com=5

for tool in wine xvfb-run import; do
  command -v "$tool" >/dev/null || { echo "screenshots-win32.sh needs $tool" >&2; exit 2; }
done
[ -x "$bin/instrument-sim" ] || { echo "missing $bin/instrument-sim: build the default preset first" >&2; exit 2; }
[ -f "$driver" ] || { echo "missing $driver: build the windows preset first" >&2; exit 2; }

mkdir -p "$out"
# shellcheck source=scripts/simulator.sh
source "$root/scripts/simulator.sh"
make_workspace

cp "$driver" "$work/"
cp "$root/samples/kernel.bin" "$root/samples/update.bin" "$work/"
cat >"$work/update.ini" <<INI
[UPDATE]
version=2.1.0
instrument=Orvane
parent_tag=<ORV72>
update_file=update.bin
kernel_file=kernel.bin
INI

# shellcheck disable=SC2086 # SIM_OPTIONS holds several options
start_simulator "$bin" "$work/instrument" "$work/sim.out" "$work/sim.err" \
  --kernel "$work/kernel.bin" --update "$work/update.bin" ${SIM_OPTIONS:-} || exit 1

# The session on the virtual display, in a Wine prefix of its own whose
# programs open in a virtual desktop the size of the display.
mkdir -p "$win_build/win32-screenshots"
cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
root=$1 work=$2 out=$3 prefix_dir=$4 com=$5
source "$root/scripts/wine-env.sh"
wine_env_init "$prefix_dir"
wine_run reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
wine_run reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 640x480 /f >/dev/null
wine_map_com "$com" "$work/instrument"
# A window program hangs at its start under the persistent server that
# wine_map_com leaves running; one that wine starts for it works.
wine_server_stop
cd "$work"
WINE_TIMEOUT=300 wine_run ./win32_screenshot_driver.exe "$com" >"$work/driver.out" 2>&1 &
driver_pid=$!

n=0
for moment in before question during after; do
  n=$((n + 1))
  for _ in $(seq 1800); do
    [ -f "$moment.ready" ] && break
    kill -0 "$driver_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -f "$moment.ready" ]; then
    sleep 0.5  # let the window finish painting
    import -window root "$out/$n-$moment.png"
    echo "$out/$n-$moment.png"
  else
    echo "no picture of '$moment'" >&2
  fi
  touch "$moment.done"
done
wait "$driver_pid" && status=0 || status=$?
wine_unmap_com "$com"
wine_server_stop
exit "$status"
SESSION

session=0
xvfb-run -a -s "-screen 0 640x480x24" bash "$work/session.sh" "$root" "$work" "$out" \
  "$win_build/win32-screenshots" "$com" || session=$?
wait "$sim_pid" && verdict=0 || verdict=$?
sim_pid=""
echo "window driver exit status $session; simulated instrument (exit status $verdict):"
sed 's/^/  /' "$work/sim.out"
[ "$session" -eq 0 ] && [ "$verdict" -eq 0 ]
