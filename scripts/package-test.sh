#!/usr/bin/env bash
# Builds the packages and tries them as installed: the Debian package is
# unpacked into a scratch root, where its updater-cli runs one whole update
# against its own instrument-sim with the installed sample configuration;
# lintian checks it. The Windows archive, when built, is unpacked and its
# updater-cli.exe --version run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

bash scripts/package.sh "${1:-all}"
version=$(sed -n 's/^project(InstrumentUpdater VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=out/packages/instrument-updater_${version}_amd64.deb

# shellcheck source=scripts/simulator.sh
source scripts/simulator.sh
make_workspace
root="$work/root"
dpkg -x "$deb" "$root"
bin="$root/usr/bin"
share="$root/usr/share/instrument-updater"

echo "== Installed programs report one version"
for program in updater updater-cli instrument-sim; do
  reported=$("$bin/$program" --version)
  echo "$reported"
  [ "$reported" = "$program $version" ] || { echo "expected '$program $version'" >&2; exit 1; }
done

echo "== Every program answers --help without a display, and has its manual page"
for program in updater updater-cli instrument-sim; do
  help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/$program" --help)
  [ "${help#Usage:}" != "$help" ] || { echo "$program --help does not start with its usage" >&2; exit 1; }
  [ -s "$root/usr/share/man/man1/$program.1.gz" ] || { echo "no manual page for $program" >&2; exit 1; }
done

echo "== One whole update with the installed programs"
link="$work/instrument"
start_simulator "$bin" "$link" "$work/sim.out" "$work/sim.err" \
  --kernel "$share/kernel.bin" --update "$share/update.bin" --no-line-time
(cd "$share" && "$bin/updater-cli" --ini update.ini --device "$link" --yes --raw) >"$work/cli.out"
sim_status=0
wait "$sim_pid" || sim_status=$?
sim_pid=""
tail -n 1 "$work/cli.out"
grep -q '^Update successful\.$' "$work/cli.out"
# The simulator's status is 0 only when both images arrived byte-exact.
[ "$sim_status" -eq 0 ] || { cat "$work/sim.out" >&2; exit 1; }

echo "== lintian"
lintian --allow-root --fail-on error,warning "$deb"

zip=out/packages/updater-windows-${version}.zip
if [ -f "$zip" ]; then
  echo "== Windows archive"
  unzip -q "$zip" -d "$work/windows"
  folder="$work/windows/updater-windows-${version}"
  for file in updater.exe updater-cli.exe update.ini README.txt; do
    [ -f "$folder/$file" ] || { echo "$file missing from $zip" >&2; exit 1; }
  done
  # shellcheck source=scripts/wine-env.sh
  source "$top/scripts/wine-env.sh"
  wine_env_init "$top/build-windows" package-prefix
  reported=$(WINE_TIMEOUT=120 wine_run "$folder/updater-cli.exe" --version | tr -d '\r')
  wine_server_stop
  echo "$reported"
  [ "$reported" = "updater-cli $version" ] || { echo "expected 'updater-cli $version'" >&2; exit 1; }
fi
echo "Packages passed."
