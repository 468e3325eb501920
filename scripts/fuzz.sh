#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for about SECONDS seconds
# (default 30): first over its seed corpus and every input kept under
# fuzz/regressions/, then on inputs of its own. An input that fails is copied
# to fuzz/regressions/<target>/ to be kept as a regression case, and the
# script fails. Prints the executions per target.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
out=build-fuzz
mkdir -p "$out"
cxx=(clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I.)

declare -A sources=(
  [profile]="platform/profile.cpp platform/profile_text_posix.cpp"
  [port_text]="app/port_text.cpp"
  [worker_line]="app/worker_line.cpp"
  [tag_reply]="engine/tag_replies.cpp"
  [cli_options]="app/cli/cli_options.cpp app/port_text.cpp app/default_port_device_posix.cpp"
)

status=0
for target in profile port_text worker_line tag_reply cli_options; do
  binary="$out/fuzz_$target"
  # shellcheck disable=SC2086
  "${cxx[@]}" "fuzz/fuzz_$target.cpp" ${sources[$target]} -o "$binary"
  work="$out/corpus/$target"
  regressions="fuzz/regressions/$target"
  mkdir -p "$work" "$regressions" "$out/crashes/$target"
  inputs=("$work" "fuzz/corpus/$target")
  [ -n "$(ls -A "$regressions")" ] && inputs+=("$regressions")
  log="$out/$target.log"
  if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
       -artifact_prefix="$out/crashes/$target/" "${inputs[@]}" >"$log" 2>&1; then
    runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -n 1 | grep -o '[0-9]*' || echo "?")
    echo "fuzz $target: $runs executions in ${seconds} s, no failure"
  else
    status=1
    echo "fuzz $target: FAILED (see $log); the input is kept under $regressions"
    cp "$out/crashes/$target/"* "$regressions/" 2>/dev/null || true
    tail -n 30 "$log"
  fi
done
exit "$status"
