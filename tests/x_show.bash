# Helpers for the script tests that run the real show under a virtual X server. Source this file,
# define the steps of a run as a function, then `in_xvfb WxH function args...`: the function runs in
# the current folder inside a fresh Xvfb with a screen of that size, with every function of the
# calling script at hand and the dummy audio driver.

# -noreset: a server that resets when its last client (a window probe) leaves refuses the next
# one for a moment. A random first display number keeps it apart from servers other tests start.
in_xvfb() {
  local size=$1
  shift
  # The functions go along as text: xvfb-run is a POSIX shell script, which drops exported ones.
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 ${size}x24 -noreset" \
    bash -c "$(declare -f)"$'\n''export SDL_AUDIODRIVER=dummy; "$@"' in_xvfb "$@"
}

# Prints the id of the first window with exactly this title once there is one; fails after 30 s,
# or at once when the process $2 (if given) has ended.
wait_window() {
  local id
  for _ in $(seq 1 150); do
    # xwininfo reads UTF-8 titles too (SDL sets only those), where xdotool search does not.
    id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\":" | awk '{print $1}' | head -n 1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    if [ -n "${2:-}" ] && ! kill -0 "$2" 2>/dev/null; then return 1; fi
    sleep 0.2
  done
  return 1
}

# Starts ./tavremon with its output in the file $1 and answers the setup dialog: the focus starts
# on Start; the other arguments are xdotool keys typed first (shift+Tab shift+Tab reaches the mode
# list, where Up and Down step through it; shift+Tab alone the Fullscreen box, space toggles it).
# Sets show_pid and show_window.
start_show() {
  local log=$1 dialog
  shift
  ./tavremon > "$log" 2>&1 &
  show_pid=$!
  dialog=$(wait_window "  Tavremon:54 setup." $show_pid) || { echo "no setup dialog"; kill -9 $show_pid; return 1; }
  sleep 0.3
  xdotool windowfocus --sync "$dialog" 2>/dev/null
  if [ $# -gt 0 ]; then xdotool key --delay 100 "$@"; fi
  xdotool key Return
  show_window=$(wait_window "zelta!morbakunz" $show_pid) || { echo "no show window"; kill -9 $show_pid; return 1; }
}

# Waits up to $1 seconds for the show to end and sets show_rc to its exit code ("running" if it did
# not end, after killing it). Not in a $(...): only the shell that started the show can wait for it.
wait_show_end() {
  for _ in $(seq 1 $(($1 * 10))); do kill -0 $show_pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $show_pid 2>/dev/null; then kill -9 $show_pid; show_rc=running; return; fi
  wait $show_pid
  show_rc=$?
}

# The screen's modes and the current one, as xrandr reports them.
screen_mode() { xrandr --current 2>&1; }

# Sends window $1 what a window manager sends when its close box is clicked.
press_close_box() {
  /usr/bin/python3 - "$1" <<'PY'
import sys
from Xlib import X, display, protocol
d = display.Display()
window = d.create_resource_object('window', int(sys.argv[1], 0))
message = protocol.event.ClientMessage(
    window=window, client_type=d.intern_atom('WM_PROTOCOLS'),
    data=(32, [d.intern_atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0]))
window.send_event(message)
d.flush()
PY
}
