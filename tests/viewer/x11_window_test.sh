#!/usr/bin/env bash
# The monitor window as a user sees it: kvtview on a virtual X display over the demonstration
# catalogue. Checks that the window "Varurod" is mapped, that the first redraw pass finishes
# and the title counts down ("Varurod - [...] - N сек"), saves a screenshot, opens the settings
# editor from the window and closes it (the viewer redraws), and closes the viewer the way a
# logout does (SIGTERM), expecting a clean stop with the stop line logged.
#
#   x11_window_test.sh SOURCE_DIR BUILD_DIR
#
# Exit 77 (skipped) when the X tools are not installed.
set -euo pipefail

src=$(cd "${1:?usage: x11_window_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
build=$(cd "${2:?usage: x11_window_test.sh SOURCE_DIR BUILD_DIR}" && pwd)

for tool in Xvfb xdotool xwininfo xwd; do
  command -v "$tool" >/dev/null || { echo "x11 window test: $tool is missing (scripts/setup installs it)"; exit 77; }
done
[[ -x $build/bin/kvtview ]] || { echo "x11 window test: $build/bin/kvtview is missing"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kvt-x11.XXXXXX")
xvfb=""
viewer=""
cleanup() {
  [[ -n $viewer ]] && kill "$viewer" 2>/dev/null || true
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses: Xvfb picks a free one itself and writes it to fd 3, so two
# runs at the same time (or a stale lock file) never race for the same number.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
display=""
for _ in $(seq 1 300); do
  number=$(tr -dc '0-9' <"$work/display")
  [[ -n $number ]] && { display=:$number; break; }
  kill -0 "$xvfb" 2>/dev/null || { cat "$work/xvfb.log"; echo "x11 window test: Xvfb did not start"; exit 1; }
  sleep 0.1
done
[[ -n $display ]] || { cat "$work/xvfb.log"; echo "x11 window test: Xvfb named no display"; exit 1; }
export DISPLAY=$display
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The demonstration catalogue, settings and data, without showing anything yet.
KVT_DEMO_DIR=$work/demo KVT_DEMO_PREPARE_ONLY=1 "$src/scripts/demo" "$build" >"$work/demo.log" 2>&1 ||
  { cat "$work/demo.log"; echo "x11 window test: demo catalogue not made"; exit 1; }
export ODBCSYSINI=$work/demo ODBCINI=$work/demo/odbc.ini

cd "$work/demo"
"$build/bin/kvtview" ODBC=kvtdemo USER=kvt PASSWORD=kvt "DATA=$work/demo/data" /use_tend \
  >"$work/viewer.log" 2>&1 &
viewer=$!

fail() {
  echo "x11 window test: $*"
  echo "--- viewer output"; cat "$work/viewer.log"
  echo "--- event log"; cat "$work"/demo/log/* 2>/dev/null || true
  exit 1
}

# The window appears, titled "Varurod".
window=""
for _ in $(seq 1 300); do
  window=$(xdotool search --name '^Varurod' 2>/dev/null | head -n 1 || true)
  [[ -n $window ]] && break
  kill -0 "$viewer" 2>/dev/null || fail "the viewer ended before showing its window"
  sleep 0.2
done
[[ -n $window ]] || fail "no window titled Varurod"
for _ in $(seq 1 300); do
  xwininfo -id "$window" | grep -q 'Map State: IsViewable' && break
  sleep 0.1
done
xwininfo -id "$window" | grep -q 'Map State: IsViewable' || fail "the window is not mapped"

# The first pass comes after 5 s; then the title counts the delay down.
title=""
pattern='^Varurod - \[[0-9]{2}:[0-9]{2}:[0-9]{2} - [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{2}/[0-9]{2}/[0-9]{4}\] - [0-9]+ сек$'
for _ in $(seq 1 300); do
  title=$(xdotool getwindowname "$window" 2>/dev/null || true)
  [[ $title =~ $pattern && $title != *"01/01/1970"* ]] && break
  kill -0 "$viewer" 2>/dev/null || fail "the viewer ended while drawing"
  sleep 0.2
done
[[ $title =~ $pattern && $title != *"01/01/1970"* ]] || fail "title never counted down: '$title'"
echo "title: $title"

geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
echo "window: $geometry"
[[ $geometry == 1280x* ]] || fail "the window is not maximised on the 1280 pixel wide screen ($geometry)"

shot=$build/x11-window.xwd
xwd -silent -root -out "$shot" || fail "no screenshot"
[[ -s $shot ]] || fail "empty screenshot"
echo "screenshot: $shot"

# "Конфигурация" at the right end of the status bar starts the settings editor; closing the
# editor (Escape = cancel) makes the viewer redraw at once: two passes within a few seconds.
if [[ -x $build/bin/inikvtview ]]; then
  passes() { cat "$work"/demo/log/* | grep -c 'Drawing started' || true; }
  before=$(passes)
  width=${geometry%x*}
  height=${geometry#*x}
  xdotool mousemove --window "$window" $((width - 30)) $((height - 8)) click 1
  editor=""
  for _ in $(seq 1 300); do
    editor=$(xdotool search --onlyvisible --class inikvtview 2>/dev/null | head -n 1 || true)
    [[ -n $editor ]] && break
    sleep 0.2
  done
  [[ -n $editor ]] || fail "the settings editor did not open"
  echo "editor window: $(xdotool getwindowname "$editor")"
  xdotool windowfocus --sync "$editor" key Escape
  for _ in $(seq 1 100); do  # under the delay of 30 s: the passes come from the notification
    (( $(passes) >= before + 2 )) && break
    sleep 0.2
  done
  (( $(passes) >= before + 2 )) || fail "no redraw after the editor closed ($before -> $(passes) passes)"
  echo "redraws after the editor closed: $(( $(passes) - before ))"
fi

# A logout's SIGTERM closes the window like the user does: stop line, clean exit.
kill -TERM "$viewer"
status=0
for _ in $(seq 1 300); do
  kill -0 "$viewer" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$viewer" 2>/dev/null && fail "the viewer did not stop within 30 s of SIGTERM"
wait "$viewer" || status=$?
viewer=""
[[ $status -eq 0 ]] || fail "the viewer exited with status $status"
grep -q 'KVTView stopped\.\.\. (v\.20120420)' "$work"/demo/log/* || fail "no stop line in the log"
echo "x11 window test: passed"
