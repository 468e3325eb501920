# Sourced by the scripts that run the simulated instrument: starting it on a
# pseudo-terminal named by a symbolic link, and stopping it again.
#   start_simulator BIN_DIR LINK OUT_FILE ERR_FILE [instrument-sim options...]
#     starts "$BIN_DIR/instrument-sim --link LINK ..." in the background, sets
#     sim_pid and returns once LINK exists; returns 1 (showing the
#     simulator's errors) when it does not appear within 5 s.
#   stop_simulator
#     ends a simulator still running and reaps it; sim_pid is empty after.
#   make_workspace
#     sets `work` to a new temporary folder and arranges that, when the script
#     exits, the simulator is stopped and the folder removed.

sim_pid=""

start_simulator() {
  local bin=$1 link=$2 out=$3 err=$4
  shift 4
  "$bin/instrument-sim" --link "$link" "$@" >"$out" 2>"$err" &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -L "$link" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -L "$link" ] && return 0
  echo "The simulated instrument did not start:" >&2
  cat "$err" >&2
  return 1
}

stop_simulator() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
  fi
  if [ -n "$sim_pid" ]; then
    wait "$sim_pid" 2>/dev/null || true
  fi
  sim_pid=""
}

make_workspace() {
  work=$(mktemp -d)
  trap 'stop_simulator; rm -rf "$work"' EXIT
}
