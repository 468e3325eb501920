#!/usr/bin/env bash
# Judges one driver-test scenario and prints its figures on one line,
# beginning "pass" or "FAIL (reason)".
#
#   judge_scenario.sh EXPECTED DONE_LINE SIM_JSON SIM_STATUS DRIVER
#
# EXPECTED: ok (updater-cli succeeded, the simulator completed with both
# images byte-exact and saw 9600 then 38400), fail:TEXT (the update failed
# with TEXT), stopped (Ctrl-C: status 130), unplugged (a failure text, not
# success, and the program ended). SIM_JSON is the simulator's summary; DONE_LINE is the guest's "@@done" line.
# On the USB adapter every scenario must also leave the latency timer as it
# found it, and a successful update must have run with the timer at 1 ms.
set -euo pipefail
expected=$1 done_line=$2 json=$3 sim_status=$4 driver=$5

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$done_line"; }
status=$(field status) ms=$(field ms) before=$(field before) during=$(field during) after=$(field after)
released=$(field released)
last=${done_line#* last=}
sim() { jq -r "$1" "$json" 2>/dev/null || echo ""; }

# Figures: wall time against the line bound (both directions' line time and
# the sequence's fixed pauses), the echo turnaround, and the line's idle time
# while the update image streamed (the hold-back gap before its last two
# bytes, when the rest of the stream kept the line busy).
figures=$(jq -r --argjson ms "$ms" '
  def at(e): ([.events[] | select(.event == e) | .ms] | first);
  ((.timing.line_to_instrument_ns + .timing.line_to_host_ns) / 1e6) as $line
  | (if (.tag_lines | length) > 0 then 5500 else 4000 end) as $pauses
  | (.update.size // 0) as $n
  | ([0, 1000 - ([[$n - 2, 0] | max, 8190] | min) * 10000 / 38400] | max) as $holdback
  | ($line + $pauses + $holdback) as $bound
  | "wall \($ms / 1000) s, bound \($bound / 1000 | . * 100 | round / 100) s, ratio \($ms / $bound | . * 1000 | round / 1000),"
    + " echo turnaround median \(.timing.turnaround_median_ns / 1e6 | . * 1000 | round / 1000) ms"
    + " p99 \(.timing.turnaround_p99_ns / 1e6 | . * 1000 | round / 1000) ms,"
    + (if at("update_last_byte") != null then
         " stream idle \(at("update_last_byte") - at("update_first_byte") - ($n - 1) * 10000 / 38400 | round) ms"
         + " (update \($n) B)"
       else " stream not completed" end)
    + ", rates \(.rates | map(tostring) | join(" "))"' "$json" 2>/dev/null || echo "no simulator summary")
figures="status $status, $figures, latency timer $before/$during/$after, released $released, last \"$last\""

fail() { echo "FAIL ($1): $figures"; exit 0; }
case $expected in
  ok)
    [ "$status" = 0 ] && [ "$last" = "Update successful." ] || fail "the update did not succeed"
    [ "$sim_status" = 0 ] && [ "$(sim .kernel.matches)" = true ] && [ "$(sim .update.matches)" = true ] ||
      fail "the simulator did not complete with both images byte-exact"
    [ "$(sim '.rates[-2:] | map(tostring) | join(" ")')" = "9600 38400" ] ||
      fail "the simulator did not see 9600 and then 38400"
    [ "$driver" != usb ] || [ "$during" = 1 ] || fail "the latency timer was not 1 ms during the update"
    ;;
  fail:*)
    [ "$status" = 1 ] && [ "$last" = "${expected#fail:}" ] || fail "expected the failure \"${expected#fail:}\""
    [ "$(sim .outcome)" = failed ] || fail "the simulator did not report the failure"
    ;;
  stopped)
    [ "$status" = 130 ] || fail "Ctrl-C twice did not stop the program with status 130"
    [ "$released" = yes ] || fail "the device could not be opened again"
    ;;
  unplugged)
    [ "$status" = 1 ] && [[ "$last" == Could* ]] ||
      fail "no failure text after the adapter was unplugged"
    ;;
esac
[ "$driver" != usb ] || [ "$expected" = unplugged ] || [ "$before" = "$after" ] ||
  fail "the latency timer was not restored"
echo "pass: $figures"
