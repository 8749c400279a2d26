#!/usr/bin/env bash
# The space bar's debug dump against the real show under a virtual X server:
#  - an existing "ize.dbg" gets exactly three lines per press appended, its old text kept;
#  - a missing "ize.dbg" is not created, and the show goes on;
#  - a read-only "ize.dbg" (immutable, or under a read-only bind mount: root ignores permission
#    bits) is left as it was, and the show goes on.
# Each case runs a copy of the program in its own folder, so nothing lands in the build tree.
set -u
build=$(cd "$1" && pwd)
for tool in xvfb-run xdotool xwininfo; do
  command -v $tool >/dev/null || { echo "$tool is needed"; exit 1; }
done
[ -x "$build/tavremon" ] && [ -f "$build/tavremon.yip" ] || { echo "build the show first"; exit 1; }

work=$(mktemp -d /tmp/tav-dump.XXXXXX)
cleanup() {
  chattr -i "$work"/*/ize.dbg 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Runs the show in folder $1, presses space $2 times (half a second apart) once the show window
# is up, then Esc. Prints the exit code; anything else goes to $1/show.log.
run_show() {
  local dir=$1 presses=$2
  # A random first display number keeps this server apart from others started at the same moment.
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -noreset" bash -c '
    dir=$1; presses=$2
    cd "$dir"
    SDL_AUDIODRIVER=dummy ./tavremon > show.log 2>&1 &
    pid=$!
    wait_for() {
      for _ in $(seq 1 200); do
        id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\":" | awk "{print \$1}" | head -n 1)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        kill -0 $pid 2>/dev/null || return 1
        sleep 0.1
      done
      return 1
    }
    dialog=$(wait_for "  Tavremon:54 setup.") || { echo "no setup dialog" >> show.log; kill -9 $pid; echo 99; exit; }
    sleep 0.3
    xdotool windowfocus --sync "$dialog" 2>/dev/null
    xdotool key Return
    show=$(wait_for "zelta!morbakunz") || { echo "no show window" >> show.log; kill -9 $pid; echo 98; exit; }
    sleep 1
    xdotool windowfocus --sync "$show" 2>/dev/null
    for _ in $(seq 1 "$presses"); do xdotool key space; sleep 0.5; done
    if ! kill -0 $pid 2>/dev/null; then echo "show ended before Esc" >> show.log; wait $pid; echo $?; exit; fi
    xdotool key Escape
    for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    if kill -0 $pid 2>/dev/null; then echo "still running after Esc" >> show.log; kill -9 $pid; echo 97; exit; fi
    wait $pid
    echo $?
  ' _ "$dir" "$presses"
}

prepare() {
  mkdir -p "$work/$1"
  cp "$build/tavremon" "$build/tavremon.yip" "$work/$1/"
}

passes=0
failures=0
check() {  # name, condition result, detail
  if [ "$2" = 0 ]; then echo "ok   $1"; passes=$((passes + 1)); else echo "FAIL $1: $3"; failures=$((failures + 1)); fi
}

# --- an existing file: three lines per press, appended after what was there -------------------
prepare existing
printf 'kept line\r\n' > "$work/existing/ize.dbg"
rc=$(run_show "$work/existing" 3)
check "existing dump file, exit code 0" $([ "$rc" = 0 ]; echo $?) "exit code $rc; $(cat "$work/existing/show.log")"
python3 - "$work/existing/ize.dbg" 3 <<'EOF'
import re, sys
data = open(sys.argv[1], 'rb').read()
presses = int(sys.argv[2])
if not data.startswith(b'kept line\r\n'):
    sys.exit('the old text was not kept: %r' % data[:40])
lines = data[len(b'kept line\r\n'):].split(b'\r\n')
if lines[-1] != b'':
    sys.exit('the dump does not end with CR LF: %r' % data[-20:])
lines = lines[:-1]
if len(lines) != 3 * presses:
    sys.exit('%d lines appended for %d presses' % (len(lines), presses))
clock = re.compile(rb'^ : +-?\d+\.\d{6}$')
overlays = []
for i in range(0, len(lines), 3):
    head, overlay, scene = lines[i:i + 3]
    if head != b' ---- ' or not clock.match(overlay) or not clock.match(scene):
        sys.exit('bad dump: %r' % lines[i:i + 3])
    overlays.append(float(overlay[3:]))
# The overlay clock runs with the show: half a second between presses is about 0.7 units.
if any(b <= a for a, b in zip(overlays, overlays[1:])):
    sys.exit('the overlay clock did not advance between presses: %r' % overlays)
EOF
check "three lines per press with both clocks" $? "see above"

# --- a missing file: nothing is created -------------------------------------------------------
prepare missing
rc=$(run_show "$work/missing" 2)
check "missing dump file, show goes on to Esc" $([ "$rc" = 0 ]; echo $?) "exit code $rc; $(cat "$work/missing/show.log")"
check "missing dump file is not created" $([ ! -e "$work/missing/ize.dbg" ]; echo $?) "ize.dbg appeared"

# --- a read-only file: left exactly as it was -------------------------------------------------
prepare readonly
printf 'frozen\r\n' > "$work/readonly/ize.dbg"
if [ -z "${TAV_NO_CHATTR:-}" ] && chattr +i "$work/readonly/ize.dbg" 2>/dev/null; then
  rc=$(run_show "$work/readonly" 2)
  chattr -i "$work/readonly/ize.dbg"
else
  # No file attributes here: put a read-only bind mount of the file over itself, in a private
  # mount namespace so that nothing outlives the run.
  export -f run_show
  rc=$(unshare -m bash -c 'mount --bind -o ro "$0/ize.dbg" "$0/ize.dbg" && run_show "$0" 2' "$work/readonly")
  [ -n "$rc" ] || { echo "skip read-only case: neither chattr nor a read-only bind mount works here"; rc=0; }
fi
check "read-only dump file, show goes on to Esc" $([ "$rc" = 0 ]; echo $?) "exit code $rc; $(cat "$work/readonly/show.log")"
check "read-only dump file unchanged" $([ "$(cat "$work/readonly/ize.dbg")" = $'frozen\r' ]; echo $?) \
  "now: $(od -c "$work/readonly/ize.dbg" | head -3)"

echo "$passes passed, $failures failed"
[ $failures = 0 ]
