#!/usr/bin/env bash
# The real show under virtual X servers of two sizes, dummy audio, one run per case:
#  - 1024x768 screen, the dialog's default (640x480 full screen): the picture reaches all four
#    corners of the screen; Esc ends the show;
#  - 1280x720 screen, the same default: the picture is the centred 960x720 box between black
#    160-pixel bars; the close box ends the show;
#  - 1024x768 screen, 320x240 full screen: the picture fills the screen; SIGTERM ends the show;
#  - windowed 640x480: a window of exactly 640x480; Esc.
# Every way out gives exit code 0 and leaves the screen's mode as xrandr reports it.
set -u
build=$(cd "$1" && pwd)
source "$(dirname "$0")/x_show.bash"
cd "$build"
for tool in xvfb-run xdotool xwininfo xrandr import convert python3; do
  command -v $tool >/dev/null || { echo "$tool is needed"; exit 1; }
done

check() {  # name, then a command that succeeds when the check holds
  local name=$1
  shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; fi
}

# True when each corner of the box WxH+X+Y of a screenshot (a quarter of its width and height) has
# picture structure, a spread of grey levels: a picture stuck in one corner leaves the others black,
# and a flat flash frame has none anywhere.
has_structure_in_corners() {
  local shot=$1 w=$2 h=$3 x=$4 y=$5 cx cy spread
  for cx in $x $((x + w - w / 4)); do
    for cy in $y $((y + h - h / 4)); do
      spread=$(convert "$shot" -crop "$((w / 4))x$((h / 4))+$cx+$cy" +repage \
        -colorspace Gray -format "%[fx:int(standard_deviation * 1000)]" info:)
      [ "$spread" -ge 10 ] || return 1
    done
  done
}

is_black() {  # shot, crop geometry
  [ "$(convert "$1" -crop "$2" +repage -format "%[max]" info:)" = 0 ]
}

# Screenshots once a second (the first frames show the loading strip or a white flash) until the
# box WxH+X+Y shows structure in all four corners; fails after 25 s. Leaves the last one in $1.
wait_for_picture() {
  local shot=$1
  shift
  for _ in $(seq 1 25); do
    sleep 1
    import -window root "$shot"
    has_structure_in_corners "$shot" "$@" && return 0
  done
  return 1
}

# Ends the show the way $1 says and checks exit code 0 and an unchanged screen mode ($2 before).
end_show() {
  local how=$1 before=$2
  case $how in
    Esc) xdotool windowfocus --sync "$show_window" 2>/dev/null; xdotool key Escape ;;
    "close box") press_close_box "$show_window" ;;
    SIGTERM) kill -TERM $show_pid ;;
  esac
  wait_show_end 10
  check "$how ends the show with exit code 0 (got $show_rc)" [ "$show_rc" = 0 ]
  [ "$show_rc" = 0 ] || cat show.log
  check "the screen mode after the run is the one before" [ "$(screen_mode)" = "$before" ]
}

default_on_1024x768() {
  local before
  before=$(screen_mode)
  start_show show.log || return 1
  check "640x480 full screen on 1024x768: picture in all four corners" \
    wait_for_picture shot-1024x768.png 1024 768 0 0
  end_show Esc "$before"
}

default_on_1280x720() {
  local before
  before=$(screen_mode)
  start_show show.log || return 1
  check "640x480 full screen on 1280x720: picture in the centred 960x720 box" \
    wait_for_picture shot-1280x720.png 960 720 160 0
  check "640x480 full screen on 1280x720: black bars left and right" \
    eval 'is_black shot-1280x720.png 160x720+0+0 && is_black shot-1280x720.png 160x720+1120+0'
  end_show "close box" "$before"
}

small_mode_on_1024x768() {
  local before
  before=$(screen_mode)
  start_show show.log shift+Tab shift+Tab Up Up Up Tab Tab || return 1
  check "320x240 full screen on 1024x768: picture fills the screen" \
    wait_for_picture shot-320x240.png 1024 768 0 0
  end_show SIGTERM "$before"
}

windowed_640x480() {
  local before size
  before=$(screen_mode)
  start_show show.log shift+Tab space Tab || return 1
  sleep 1
  size=$(xwininfo -id "$show_window" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
  check "windowed 640x480 gives a 640x480 window (got $size)" [ "$size" = 640x480 ]
  end_show Esc "$before"
}

output=$(
  in_xvfb 1024x768 default_on_1024x768 || echo "FAIL default mode on 1024x768 did not start"
  in_xvfb 1280x720 default_on_1280x720 || echo "FAIL default mode on 1280x720 did not start"
  in_xvfb 1024x768 small_mode_on_1024x768 || echo "FAIL 320x240 full screen did not start"
  in_xvfb 1024x768 windowed_640x480 || echo "FAIL windowed 640x480 did not start"
)
echo "$output"
passes=$(grep -c '^ok' <<< "$output")
failures=$(grep -c '^FAIL' <<< "$output")
echo "$passes passed, $failures failed"
[ "$failures" = 0 ] && [ "$passes" -gt 0 ]
