#!/usr/bin/env bash
# Screenshots of the operator window running a whole update against the
# simulated instrument, under a virtual X display (xvfb-run): before the
# update, at the operator's question, during the transfer, and after it.
#
#   scripts/screenshots.sh [output-folder]     (default: out/screenshots)
#
# Uses the programs in $UPDATER_BUILD/bin (default: build/bin) and the sample
# images in samples/. Needs xvfb-run, xdotool and ImageMagick's import.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-out/screenshots}")
bin=$(realpath -m "${UPDATER_BUILD:-$root/build}/bin")

for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh needs $tool" >&2; exit 2; }
done
for program in updater instrument-sim; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program: build it first" >&2; exit 2; }
done

mkdir -p "$out"
# shellcheck source=scripts/simulator.sh
source "$root/scripts/simulator.sh"
make_workspace

# The window's program, its update.ini (COM1 -> the simulator's pty) and images.
cp "$bin/updater" "$work/updater"
cp "$root/samples/kernel.bin" "$root/samples/update.bin" "$work/"
link="$work/instrument"
cat >"$work/update.ini" <<INI
[UPDATE]
version=2.1.0
instrument=Orvane
parent_tag=<ORV72>
update_file=$work/update.bin
kernel_file=$work/kernel.bin

[PORTS]
COM1=$link
INI

# shellcheck disable=SC2086 # SIM_OPTIONS holds several options
start_simulator "$bin" "$link" "$work/sim.out" "$work/sim.err" \
  --kernel "$work/kernel.bin" --update "$work/update.bin" ${SIM_OPTIONS:-} || exit 1

# The session on the virtual display.
cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1 out=$2 sim_pid=$3

# Waits up to 10 s for a window whose title matches $1; prints its id.
find_window() {
  for _ in $(seq 200); do
    if id=$(xdotool search --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ]; then
      echo "$id"; return 0
    fi
    sleep 0.05
  done
  echo "no window '$1'" >&2; return 1
}
shot() { sleep 0.3; import -window root "$out/$1.png"; echo "$out/$1.png"; }

cd "$work"
./updater &
updater_pid=$!
window=$(find_window 'Update\(Mar 22 2010\)')
shot 1-before

# "Update Software": 199, 89, 113 x 25 in the window.
xdotool mousemove --window "$window" 255 101 click 1
question=$(find_window '^Continue\?$')
shot 2-question
xdotool windowfocus --sync "$question" key Return

# Mid-transfer: the first picture in which the gauge's bar is under way
# (at least 4 %, below 96 %). The gauge sits at 72, 227 in the window, 240 x 20.
eval "$(xdotool getwindowgeometry --shell "$window")"
bar_y=$((Y + 237))
white="srgb(255,255,255)"
pixel() { convert "$1" -format "%[pixel:p{$2,$bar_y}]" info:; }
for _ in $(seq 200); do
  import -window root "$work/probe.png"
  if [ "$(pixel "$work/probe.png" $((X + 81)))" != "$white" ] &&
     [ "$(pixel "$work/probe.png" $((X + 302)))" = "$white" ]; then
    break
  fi
  sleep 0.2
done
mv "$work/probe.png" "$out/3-during.png"
echo "$out/3-during.png"

# The simulator ends after the update; the window shows the result and
# enables its controls 3 s later.
for _ in $(seq 600); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
sleep 3.5
shot 4-after

# Idle again: ending the program is safe now.
kill "$updater_pid"
wait "$updater_pid" 2>/dev/null || true
SESSION

xvfb-run -a -s "-screen 0 640x480x24" bash "$work/session.sh" "$work" "$out" "$sim_pid"
wait "$sim_pid" && verdict=0 || verdict=$?
sim_pid=""
echo "simulated instrument (exit status $verdict):"
sed 's/^/  /' "$work/sim.out"
