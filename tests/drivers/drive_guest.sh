#!/usr/bin/env bash
# Boots one driver-test guest and runs every scenario of its driver in it,
# each against a new instrument-sim on this machine; prints one line of
# figures per scenario and exits 1 when any outcome is wrong.
#
#   drive_guest.sh DRIVER BIN KERNEL INITRAMFS FILES WORK
#
# DRIVER is uart (the guest's 8250 driver on /dev/ttyS1) or usb (ftdi_sio on
# /dev/ttyUSB0). DRIVER_SCENARIOS, when set, names the scenarios to run. The
# guest's console and QEMU's monitor are pipes in WORK: the guest announces
# each step with a line beginning "@@" (guest_steps.sh), and this side answers
# with monitor commands (attaching the simulator's pseudo-terminal, unplugging
# the adapter) and the next guest command.
set -euo pipefail
driver=$1 bin=$2 kernel=$3 initramfs=$4 files=$5 work=$6
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
cd "$work"
mkfifo console.in console.out monitor.in monitor.out
: >console.log

# Seconds the instrument stops reading in the slow-reader scenario: longer
# than the pseudo-terminal between QEMU and the simulator buffers at 38400
# baud (about 19 KB, 5 s), so that the guest's driver queue really fills.
stall_seconds=6
# A whole update must end within this many seconds of its start, failures
# included: the protocol's longest wait is far shorter.
update_limit_s=120

# name | driver(s) | simulator options | images | step | action | expected
#   action: none, interrupt (guest), mark (this side acts: stall or unplug)
#   expected: ok, fail:TEXT, stopped, unplugged
scenarios=(
  "method2|uart usb|--method 2|large|Sending kernel.|none|ok"
  "method1|uart usb|--method 1|small|Sending kernel.|none|ok"
  "erase-fails|uart usb|--method 1 --status 2=1|small|Sending kernel.|none|fail:Could not erase flash."
  "ctrl-c|uart usb|--method 1|large|Sending kernel.|interrupt|stopped"
  "slow-reader|uart usb|--method 1|large|Sending update.|mark|ok"
  "unplug-stream|usb|--method 1|large|Sending update.|mark|unplugged"
  "unplug-kernel|usb|--method 1|large|Sending kernel.|mark|unplugged"
)

qemu_pid="" sim_pid=""
# shellcheck disable=SC2317 # called by the trap
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
  if [ -n "$qemu_pid" ]; then kill "$qemu_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
}
trap cleanup EXIT

# shellcheck disable=SC2054 # QEMU's options hold commas
case $driver in
  uart) line_device=(-device isa-serial,chardev=line) ;;
  usb) line_device=(-device qemu-xhci,id=xhci) ;;
  *) echo "unknown driver $driver" >&2; exit 2 ;;
esac
# The UART's line starts on the null device and is switched to each
# simulator in turn; each USB adapter is plugged in for its scenario. The
# emulator runs at a high scheduling weight where the system allows it (root
# or CAP_SYS_NICE; elsewhere nice says so and runs it as it is), as the
# simulator does: an instrument answers in its own time, and a guest starved
# by a build on both cores can miss the 500 ms that the host waits for an echo.
nice -n -10 qemu-system-x86_64 -machine q35 -m 256 -accel tcg -nodefaults -no-user-config -display none -no-reboot \
  -kernel "$kernel" -initrd "$initramfs" -append "console=ttyS0 quiet panic=-1 mitigations=off driver=$driver" \
  -serial pipe:console -monitor pipe:monitor -chardev null,id=line "${line_device[@]}" >qemu.log 2>&1 &
qemu_pid=$!
sed -u 's/\r$//' console.out >console.log &
cat monitor.out >monitor.log &
exec 7>console.in 8>monitor.in

# await PATTERN SECONDS: waits until a console line matches PATTERN (grep -E).
await() {
  local deadline=$((SECONDS + $2))
  until grep -qE "$1" console.log; do
    if ((SECONDS >= deadline)) || ! kill -0 "$qemu_pid" 2>/dev/null; then
      echo "$driver: no \"$1\" from the guest within $2 s; its console:" >&2
      tail -n 30 console.log >&2
      return 1
    fi
    sleep 0.1
  done
}
guest() { echo "$*" >&7; }
monitor() { echo "$*" >&8; }


booted=$SECONDS
await "^@@ready" 300
echo "$driver: guest ready in $((SECONDS - booted)) s"

failures=0
plugged=0
for scenario in "${scenarios[@]}"; do
  IFS='|' read -r name drivers sim_options images step action expected <<<"$scenario"
  [[ " $drivers " == *" $driver "* ]] || continue
  [ -z "${DRIVER_SCENARIOS:-}" ] || [[ " $DRIVER_SCENARIOS " == *" $name "* ]] || continue
  link=$work/$name.link
  # shellcheck disable=SC2086 # sim_options holds several options
  "$bin/instrument-sim" --link "$link" --json --idle-timeout 30 $sim_options \
    --kernel "$files/$images/kernel.bin" --update "$files/$images/update.bin" >"$name.json" 2>"$name.err" &
  sim_pid=$!
  for _ in $(seq 100); do [ -L "$link" ] && break; sleep 0.05; done
  plugged=$((plugged + 1))
  if [ "$driver" = uart ]; then
    monitor "chardev-change line serial,path=$link"
  else
    monitor "chardev-add serial,id=line$plugged,path=$link"
    monitor "device_add usb-serial,id=adapter$plugged,bus=xhci.0,chardev=line$plugged,always-plugged=on"
    guest "await_port /dev/ttyUSB0 || echo '@@error the adapter is not /dev/ttyUSB0:' \$(ls /dev/ttyUSB*)"
  fi
  guest "run_update $name /work/$images.ini '$step' $action"
  # A second after the step shows: unplug the adapter, or stall the reader.
  if [ "$action" = mark ] && await "^@@(at|done) $name( |\$)" "$update_limit_s" &&
    ! grep -qE "^@@done $name " console.log; then
    sleep 1
    if [ "$expected" = unplugged ]; then
      monitor "device_del adapter$plugged"
    elif kill -STOP "$sim_pid" 2>/dev/null; then
      sleep "$stall_seconds"
      kill -CONT "$sim_pid"
    fi
  fi
  await "^@@done $name " "$update_limit_s" || { failures=$((failures + 1)); break; }
  done_line=$(grep -E "^@@done $name " console.log | tail -n 1)
  # The simulator ends by itself after a finished update; else it is stopped.
  for _ in $(seq 50); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$sim_pid" 2>/dev/null || true
  sim_status=0
  wait "$sim_pid" || sim_status=$?
  sim_pid=""
  if [ "$driver" = uart ]; then
    monitor "chardev-change line null"
  else
    [ "$expected" = unplugged ] || monitor "device_del adapter$plugged"
    guest "while [ -e /dev/ttyUSB0 ]; do usleep 100000; done"
    monitor "chardev-remove line$plugged"
  fi

  # The simulator's first line names its pty; the summary follows.
  tail -n 1 "$name.json" >"$name.summary"
  verdict=$(bash "$here/judge_scenario.sh" "$expected" "$done_line" "$name.summary" "$sim_status" "$driver")
  echo "$driver $name: $verdict"
  if [[ "$verdict" != pass* ]]; then
    failures=$((failures + 1))
    guest "show_output $name"
    await "^@@output $name" 10 && sleep 1 && sed -n "/^@@output $name/,/^@@end/p" console.log
    cat "$name.err"
  fi
done
guest "poweroff -f"
# A guest that does not power off within 30 s is ended by the clean-up.
for _ in $(seq 300); do kill -0 "$qemu_pid" 2>/dev/null || break; sleep 0.1; done
exit $((failures > 0))
