#!/usr/bin/env bash
# End to end under a virtual X server: start the show, press Enter in the setup dialog, wait for
# the show window, press Esc, expect exit code 0.
set -u
build=$1
cd "$build"
if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "xvfb-run and xdotool are needed"; exit 1
fi
# -noreset: a server that resets when its last client (a window probe) leaves refuses the next
# one for a moment. A random first display number keeps it apart from servers other tests start.
xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -noreset" bash -c '
  export SDL_AUDIODRIVER=dummy
  ./tavremon > e2e-show.log 2>&1 &
  pid=$!
  wait_for() {  # exact window title; prints the first window id
    # xwininfo reads UTF-8 titles too (SDL sets only those), where xdotool search does not.
    for _ in $(seq 1 150); do
      id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\":" | awk "{print \$1}" | head -n 1)
      if [ -n "$id" ]; then echo "$id"; return 0; fi
      sleep 0.2
    done
    return 1
  }
  dialog=$(wait_for "  Tavremon:54 setup.") || { echo "no setup dialog"; kill $pid; exit 1; }
  sleep 0.5
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  xdotool key Return
  show=$(wait_for "zelta!morbakunz") || { echo "no show window"; kill $pid; exit 1; }
  echo "show window $show"
  sleep 2
  kill -0 $pid || { echo "show ended early"; cat e2e-show.log; exit 1; }
  xdotool windowfocus --sync "$show" 2>/dev/null || true
  xdotool key Escape
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then echo "show still running after Esc"; kill -9 $pid; exit 1; fi
  wait $pid; rc=$?
  echo "exit code $rc"
  cat e2e-show.log
  exit $rc
'
