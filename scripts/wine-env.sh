# Sourced by the scripts and test wrappers that run Windows programs under Wine.
# Every run uses a private Wine prefix under the build tree, never ~/.wine, and
# Wine's debug output is off.
#   wine_env_init BUILD_DIR [PREFIX_NAME]
#     exports WINEPREFIX=BUILD_DIR/PREFIX_NAME (PREFIX_NAME defaults to
#     $UPDATER_WINE_PREFIX_NAME, else wine-prefix), WINEDEBUG=-all and
#     WINEDLLOVERRIDES (no Mono or Gecko prompts); creates the prefix on first
#     use (about 6 s; serialised with a lock, so parallel tests may call it).
#   wine_server_start
#     starts a Wine server for the prefix that stays 30 s after its last
#     program (later starts of programs then take about 0.05 s instead of
#     0.5 s); its chatter goes to WINEPREFIX/wineserver.log. Then makes sure
#     Wine's own long-lived helper processes (services, device drivers, plug
#     and play) run, started with every standard stream on /dev/null: the
#     first program of a new server otherwise starts them itself and they
#     inherit its standard error, so a pipe reading that program (a test
#     runner, `| sed`, `$(...)`) stays open until the server ends. Does nothing
#     when both are running; serialised with a lock, so parallel callers see
#     the helpers up before any of them starts a program.
#   wine_server_stop
#     stops the prefix's Wine server and waits until it is gone.
#   wine_stop_all_servers BUILD_DIR
#     stops the Wine server of every prefix under BUILD_DIR (the test
#     programs', the window tests' and the package test's), and with it every
#     program of that prefix: for the end of a test run, also after a failure.
#     Creates nothing.
#   wine_run [wine arguments...]
#     runs "wine ARGS" under `timeout` (WINE_TIMEOUT seconds, 300 unless set).
#   wine_map_com N PATH
#     points COM<N> at the pseudo-terminal PATH (a link to one is resolved to
#     the pty) through HKLM\Software\Wine\Ports and restarts the server so that
#     Wine takes it up. The server restart ends every Wine program of the
#     prefix that is still running: map ports before starting programs.
#     Returns when the port's link in the prefix leads to the pty.
#     Refuses anything that is not a pseudo-terminal: Wine maps unmapped COM
#     ports to the machine's /dev/ttyS* devices, which a test must never reach
#     (an empty value does not help: Wine then gives the device the next free
#     COM number).
#   wine_unmap_com N
#     removes the mapping of COM<N> again.

wine_env_init() {
  local build_dir name=${2:-${UPDATER_WINE_PREFIX_NAME:-wine-prefix}}
  build_dir=$(cd "$1" && pwd)
  export WINEPREFIX="$build_dir/$name"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  export WINEARCH=win64
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    (
      flock 9
      if [ ! -f "$WINEPREFIX/system.reg" ]; then
        # A one-off of about 6 s that a busy machine stretches past a minute.
        timeout 600 wineboot --init </dev/null >"$WINEPREFIX/wineboot.log" 2>&1 9>&- || true
        timeout 120 wineserver -w 9>&- || true
      fi
    ) 9>"$build_dir/$name.lock"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "Could not create the Wine prefix $WINEPREFIX:" >&2
      cat "$WINEPREFIX/wineboot.log" >&2 2>/dev/null || true
      return 1
    fi
  fi
}

wine_server_running() {
  # A running server keeps a socket in a folder named after the prefix's
  # device and inode, under /tmp/.wine-UID or (Debian's build) /tmp/wine-*.
  local name sock
  name="server-$(printf '%x' "$(stat -c %d "$WINEPREFIX")")-$(printf '%x' "$(stat -c %i "$WINEPREFIX")")"
  for sock in /tmp/.wine-"$(id -u)"/"$name"/socket /tmp/wine-*/"$name"/socket; do
    [ -S "$sock" ] && return 0
  done
  return 1
}

wine_helpers_running() {
  # Wine's service manager of this prefix: it starts the other helpers.
  local pid
  for pid in $(pgrep -x services.exe 2>/dev/null); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

wine_server_start() {
  [ -n "${WINEPREFIX:-}" ] || { echo "wine_server_start: call wine_env_init first" >&2; return 1; }
  (
    flock 8
    if ! wine_server_running; then
      # It lingers 30 s after its last program, so that a test run left to
      # itself (ctest alone, an interrupted script) leaves no server behind.
      setsid wineserver -p30 >>"$WINEPREFIX/wineserver.log" 2>&1 </dev/null 8>&- &
      for _ in $(seq 100); do
        wine_server_running && break
        sleep 0.05
      done
    fi
    if ! wine_helpers_running; then
      # A console program that ends at once brings the helpers up; they
      # inherit its streams, all on /dev/null.
      timeout --kill-after=10 60 wine cmd /c exit </dev/null >/dev/null 2>&1 8>&- || true
      for _ in $(seq 100); do
        wine_helpers_running && break
        sleep 0.05
      done
    fi
  ) 8>"$WINEPREFIX.server.lock"
}

wine_server_stop() {
  [ -n "${WINEPREFIX:-}" ] || return 0  # never the user's own ~/.wine
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
}

wine_stop_all_servers() {
  local reg prefix
  while IFS= read -r reg; do
    prefix=$(dirname "$reg")
    WINEPREFIX=$prefix timeout 30 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$prefix timeout 30 wineserver -w >/dev/null 2>&1 || true
  done < <(find "$1" -maxdepth 3 -name system.reg 2>/dev/null)
}

wine_run() {
  timeout --kill-after=10 "${WINE_TIMEOUT:-300}" wine "$@"
}

wine_is_pseudo_terminal() {
  local resolved
  resolved=$(readlink -f -- "$1" 2>/dev/null) || return 1
  case "$resolved" in
    /dev/pts/[0-9]*) [ -c "$resolved" ] ;;
    *) return 1 ;;
  esac
}

wine_map_com() {
  local n=$1 path=$2 pty
  if ! wine_is_pseudo_terminal "$path"; then
    echo "wine_map_com: $path is not a pseudo-terminal; COM$n is left unmapped" >&2
    return 1
  fi
  # The pty itself is written, not a link to it: the test programs' guard
  # then sees from the registry alone that COM<N> reaches a /dev/pts/ device.
  pty=$(readlink -f -- "$path")
  wine_server_start
  wine_run reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$pty" /f >/dev/null || return 1
  wine_server_stop
  wine_server_start
  # Wine's mount manager, one of the helpers, makes the port's link from the
  # table while it starts: wait for it, so that no program opens the port
  # before it leads to the pty.
  local _
  for _ in $(seq 200); do
    [ "$(readlink "$WINEPREFIX/dosdevices/com$n")" = "$pty" ] && return 0
    sleep 0.05
  done
  echo "wine_map_com: COM$n does not lead to $pty after the Wine server's restart" >&2
  return 1
}

wine_unmap_com() {
  local n=$1
  wine_run reg delete 'HKLM\Software\Wine\Ports' /v "COM$n" /f >/dev/null 2>&1 || true
  # Wine leaves the link it made for a mapping that is gone.
  rm -f "$WINEPREFIX/dosdevices/com$n"
  wine_server_stop
}
