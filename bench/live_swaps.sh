#!/usr/bin/env bash
# The real show's frame rate under a virtual X server: starts build/tavremon full screen on a
# screen of the given size with bench/swap_timer.c preloaded, answers the setup dialog with its
# default (640x480 full screen), lets the show run from its start for the given seconds (the
# opening is the first 26), ends it with Esc and prints the swap-to-swap figures.
#
#   bench/live_swaps.sh [SECONDS [WxH]]      (defaults: 20, 640x480; needs xvfb-run and xdotool)
set -euo pipefail
export seconds=${1:-20} size=${2:-640x480}
build=$(cd "$(dirname "$0")/../build" && pwd); export build
source "$(dirname "$0")/../tests/x_show.bash"

run() {
  cd "$build"
  LD_PRELOAD="$build/bench/libswap_timer.so" start_show /tmp/live_swaps.$$.log || return 1
  sleep "$seconds"
  xdotool windowfocus --sync "$show_window" 2>/dev/null || true
  xdotool key Escape
  wait_show_end 20
  grep swap_timer /tmp/live_swaps.$$.log || cat /tmp/live_swaps.$$.log
  rm -f /tmp/live_swaps.$$.log
}
in_xvfb "$size" run
