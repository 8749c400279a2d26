#!/usr/bin/env bash
# The whole show under a virtual X server with the dummy audio driver: Enter in the setup dialog
# (640x480 full screen), then nothing; the show must end by itself at the end of the song with exit
# code 0, leaving the screen's mode as it was.
set -u
build=$1
source "$(dirname "$0")/x_show.bash"
cd "$build"

whole_show() {
  local start before took
  before=$(screen_mode)
  start=$(date +%s)
  start_show full-show.log || exit 1
  wait_show_end 260
  took=$(( $(date +%s) - start ))
  echo "exit code $show_rc after $took s"
  cat full-show.log
  [ "$show_rc" = 0 ] || exit 1
  # The song ends at order 28 row 17 (about 187 s) plus the 1.25 s fade. The dummy audio driver of SDL
  # waits whole milliseconds per buffer and so plays a few per cent fast: allow for that.
  [ $took -ge 170 ] || { echo "ended too early"; exit 1; }
  [ "$(screen_mode)" = "$before" ] || { echo "the screen mode changed: $(screen_mode)"; exit 1; }
}
in_xvfb 1024x768 whole_show
