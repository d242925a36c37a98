#!/usr/bin/env bash
# make demo's script end to end in its bounded form (as under CI): the demo
# catalogue is made, the simulator records in the background, pictures are
# drawn, and when the demo ends the simulator has stopped cleanly.
#
#   demo_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$1
build=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/kvt-demo-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "demo test: $*"
  echo "--- demo output"; cat "$work/demo.out"
  echo "--- simulator log"; cat "$work/demo/kvtsim.log" 2>/dev/null
  exit 1
}

CI=true KVT_DEMO_ROUNDS=2 KVT_DEMO_DIR=$work/demo DISPLAY= WAYLAND_DISPLAY= \
  timeout 240 "$src/scripts/demo" "$build" >"$work/demo.out" 2>&1 || fail "the demo failed"

[[ -s $work/demo/kvtview-demo.png ]] || fail "no picture"
[[ $(grep -c 'redrawn' "$work/demo.out") -eq 1 ]] || fail "expected one redraw after the first picture"
grep -q '^kvtsim: stopped;' "$work/demo/kvtsim.log" || fail "the simulator did not stop cleanly"
# Nothing of the demo is left running.
if pgrep -f -- "DATA=$work/demo/data" >/dev/null; then fail "a simulator still runs"; fi
rows=$(sqlite3 "$work/demo/catalogue.db" "select count(*) from FILELIST")
events=$(sqlite3 "$work/demo/catalogue.db" "select count(*) from EVENTLIST")
[[ $rows -gt 0 && $events -gt 0 ]] || fail "catalogue rows: $rows, events: $events"
echo "demo test: passed ($rows files, $events event marks)"
