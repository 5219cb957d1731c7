#!/usr/bin/env bash
# Runs the program on a virtual X display under a real window manager (openbox) the way a
# user would: the video setup dialog driven with the mouse or the keyboard, Alt+Enter
# toggles between window and full screen, then the window destroyed from outside. Every
# run must end by itself with exit code 0 and without an X error.
#
# usage: window_manager_test.sh PROGRAM SAMPLE_WRITER [RUNS] [TOGGLES]
#   PROGRAM        the vellumite executable
#   SAMPLE_WRITER  vellumite-sample (writes the show folder the runs play)
# Exit 0 when every run passed, 1 otherwise, 77 when Xvfb, openbox or xdotool is missing.
set -u

program=$1
sample_writer=$2
runs=${3:-10}
toggles=${4:-20}

for tool in Xvfb openbox xdotool; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
xvfb_pid=
wm_pid=
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$sample_writer" "$work/show" >/dev/null || { echo "cannot write the sample show"; exit 1; }

# A display number of Xvfb's own choice, and a window manager on it.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
openbox --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 1 100); do [ -e "$work/wm-ready" ] && break; sleep 0.1; done
[ -e "$work/wm-ready" ] || { echo "openbox did not start"; exit 1; }

unset SDL_VIDEODRIVER
export SDL_AUDIODRIVER=dummy

# Waits (up to $2 seconds) for a visible window named like $1, other than $3, that holds
# the keyboard focus; prints its id.
wait_window() {
  local name=$1 limit=$2 previous=${3:-} id
  local deadline=$((SECONDS + limit))
  while [ $SECONDS -lt $deadline ]; do
    kill -0 "$pid" 2>/dev/null || return 1
    id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | tail -n1)
    if [ -n "$id" ] && [ "$id" != "$previous" ] && [ "$(xdotool getactivewindow 2>/dev/null)" = "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Waits (up to $1 seconds) for the program to end; its exit code in $rc.
wait_exit() {
  for _ in $(seq 1 $(($1 * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "  the program hangs; its stacks:"
    command -v gdb >/dev/null && timeout 60 gdb -q -batch -p "$pid" -ex "thread apply all bt 20" 2>/dev/null |
      grep -E '^(#|Thread)' | head -60 | sed 's/^/    /'
    kill -9 "$pid" 2>/dev/null
  fi
  wait "$pid"
  rc=$?
}

failures=0
render='^\[VELLUMITE\]'
for run in $(seq 1 "$runs"); do
  config="$work/config$run"
  mkdir -p "$config"
  log="$work/run$run.log"
  XDG_CONFIG_HOME=$config VELLUMITE_DEBUG_FILE="$work/debug$run.log" "$program" --data "$work/show" >"$log" 2>&1 &
  pid=$!
  problem=
  ids=()
  if ! dialog=$(wait_window '^Video setup$' 60); then
    problem="no video setup dialog"
  else
    sleep 0.5
    if [ $((run % 2)) -eq 1 ]; then
      # The mouse on the default button.
      xdotool mousemove --window "$dialog" 130 130 click 1
    else
      # The keyboard: Enter presses the default button.
      xdotool windowactivate "$dialog" 2>/dev/null
      sleep 0.3
      xdotool key Return
    fi
    if ! window=$(wait_window "$render" 120); then
      problem="no render window after the dialog"
    else
      ids+=("$window")
      for t in $(seq 1 "$toggles"); do
        sleep 0.3
        xdotool key alt+Return
        # Each switch rebuilds the device in a new window.
        if ! window=$(wait_window "$render" 30 "${ids[-1]}"); then
          problem="Alt+Enter $t: no new window (windows $(xdotool search --name "$render" 2>/dev/null | tr "\n" " "), focus $(xdotool getactivewindow 2>/dev/null), before ${ids[*]})"
          break
        fi
        ids+=("$window")
      done
      [ -z "$problem" ] && { sleep 0.5; xdotool windowclose "${ids[-1]}" 2>/dev/null; }
    fi
  fi
  [ -n "$problem" ] && kill -TERM "$pid" 2>/dev/null
  wait_exit 30
  if grep -q "X Error" "$log"; then problem="${problem:+$problem; }an X error"; fi
  [ "$rc" -ne 0 ] && problem="${problem:+$problem; }exit code $rc"
  if [ -n "$problem" ]; then
    failures=$((failures + 1))
    echo "run $run: FAILED ($problem) after $((${#ids[@]} - 1)) switches"
    sed 's/^/  | /' "$log" | head -20
  else
    echo "run $run: passed (dialog, ${toggles} switches, closed from outside, exit 0)"
  fi
done
echo "$runs runs, $failures failed"
[ "$failures" -eq 0 ]
