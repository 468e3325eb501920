# shellcheck shell=sh disable=SC3052,SC2154 # busybox ash; port is set by the guest's init
# Sourced by the guest's first process: the steps that the host's commands
# call. Each step prints one line beginning with "@@" for the host to wait for.
# `port` is the instrument's line (/dev/ttyS1 or /dev/ttyUSB0).

# Milliseconds since the guest booted.
uptime_ms() {
  read -r seconds _ </proc/uptime
  echo $((${seconds%.*} * 1000 + 10#${seconds#*.} * 10))
}

# The USB adapter's latency timer in milliseconds, or "-" on a UART.
latency_timer() {
  cat "/sys/bus/usb-serial/devices/${port#/dev/}/latency_timer" 2>/dev/null || echo -
}

# Waits up to 60 s for the device node $1.
await_port() {
  for _ in $(seq 600); do
    [ -c "$1" ] && return 0
    usleep 100000
  done
  return 1
}

# run_update NAME INI [STEP [ACTION]]: one update with updater-cli on $port.
# When the program shows STEP, the latency timer is read and ACTION taken:
#   mark       prints "@@at NAME" for the host (which may unplug the adapter)
#   interrupt  a Ctrl-C, and a second one a second later, which stops it
# Without STEP the timer is read at "Sending kernel.". Prints
#   @@done NAME status=S ms=M before=T during=T after=T released=yes|no last=TEXT
# where T are latency-timer readings, released says whether the device could
# be opened again afterwards, and TEXT is the last line shown other than
# progress.
run_update() {
  name=$1 ini=$2 step=${3:-Sending kernel.} action=${4:-none}
  out=/tmp/$name.out
  rm -f "/tmp/$name.status"
  # A rate other than the program's own, so the line shows the 9600 it sets.
  stty -F "$port" 19200 2>/dev/null
  # QEMU's emulated adapter tells the driver its latency timer is 0; a real
  # FTDI adapter starts at 16 ms, and so does this one from here on.
  [ "$(latency_timer)" != 0 ] || echo 16 >"/sys/bus/usb-serial/devices/${port#/dev/}/latency_timer"
  before=$(latency_timer)
  during=-
  acted=
  start=$(uptime_ms)
  (updater-cli --ini "$ini" --device "$port" --yes --raw >"$out" 2>"/tmp/$name.err"
   echo $? >"/tmp/$name.status") &
  while [ ! -e "/tmp/$name.status" ]; do
    if [ -z "$acted" ] && grep -qxF "$step" "$out" 2>/dev/null; then
      acted=yes
      during=$(latency_timer)
      pid=$(pidof updater-cli)
      case $action in
        mark) echo "@@at $name" ;;
        interrupt) kill -INT "$pid"; sleep 1; kill -INT "$pid" ;;
      esac
    fi
    usleep 50000
  done
  wait
  end=$(uptime_ms)
  status=$(cat "/tmp/$name.status")
  released=no
  if [ ! -e "$port" ] || stty -F "$port" >/dev/null 2>&1; then released=yes; fi
  echo "@@done $name status=$status ms=$((end - start)) before=$before during=$during" \
    "after=$(latency_timer) released=$released last=$(grep -v '^DATA:' "$out" | tail -n 1)"
}

# Prints the program's output of update NAME, for a failure report.
show_output() {
  echo "@@output $1"
  grep -v '^DATA:' "/tmp/$1.out"
  cat "/tmp/$1.err"
  echo "@@end"
}
