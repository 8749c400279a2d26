#!/usr/bin/env bash
# The whole show under a virtual X server with the dummy audio driver: Enter in the setup dialog,
# then nothing; the show must end by itself at the end of the song with exit code 0.
set -u
build=$1
cd "$build"
# -noreset: a server that resets when its last client (a window probe) leaves refuses the next
# one for a moment. A random first display number keeps it apart from servers other tests start.
xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -noreset" bash -c '
  export SDL_AUDIODRIVER=dummy
  start=$(date +%s)
  ./tavremon > full-show.log 2>&1 &
  pid=$!
  for _ in $(seq 1 150); do
    xwininfo -root -tree 2>/dev/null | grep -qF "\"  Tavremon:54 setup.\":" && break
    sleep 0.2
  done
  sleep 0.5
  xdotool key Return
  for _ in $(seq 1 2600); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then echo "show still running after 260 s"; kill -9 $pid; exit 1; fi
  wait $pid; rc=$?
  took=$(( $(date +%s) - start ))
  echo "exit code $rc after $took s"
  cat full-show.log
  [ $rc -eq 0 ] || exit 1
  # The song ends at order 28 row 17 (about 187 s) plus the 1.25 s fade. The dummy audio driver of SDL
  # waits whole milliseconds per buffer and so plays a few per cent fast: allow for that.
  [ $took -ge 170 ] || { echo "ended too early"; exit 1; }
'
