#!/usr/bin/env bash
# Nothing lost, nothing false: a capture interrupted with Ctrl-C keeps a playable video of what it
# made and says it was interrupted (exit code 130), also while it seeks to --from; a failed ffmpeg
# step is named and leaves an earlier video of that name as it was. A stand-in ffmpeg found first on
# PATH plays the full disk: it reports a failed trailer with exit code 0, or fails the final mux.
#   tests/capture_faults.sh BUILD_DIR
set -u
tool=$1/tavremon-capture
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
check() {  # check WHAT COMMAND...
  local what=$1; shift
  if ! "$@"; then echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}
command -v ffprobe >/dev/null || { echo "needs ffmpeg (Debian package ffmpeg)"; exit 1; }

# Starts the tool in a process group of its own, as a terminal would, and interrupts the group
# with SIGINT once the file $1 exists: the terminal's Ctrl-C reaches every process in the group.
interrupt_when() {
  local file=$1; shift
  setsid "$tool" "$@" 2>err.txt &
  local pid=$!
  for _ in $(seq 600); do [ -e "$file" ] && break; sleep 0.1; done
  kill -INT -- "-$pid"
  wait "$pid"
}

# 1. Ctrl-C during a video capture: the frames made so far become a playable video, exit code 130.
interrupt_when one/frame-000005.png --out one --size 160x120 --fps 10 --to 60 --video one.mp4
check "an interrupted video capture ends with exit code 130 (got $?)" [ $? -eq 130 ]
frames=$(($(wc -l < one/timeline.csv) - 1))
probed=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 one.mp4 2>/dev/null)
check "the interrupted video holds the $frames frames of the timeline (has '$probed')" [ "$probed" = "$frames" ]
check "the interrupted capture says so" grep -q "interrupted at frame" err.txt
check "no intermediate video is left" [ ! -e one.mp4.picture.mp4 ]

# 4. Ctrl-C during the seek to --from: said as an interruption, not as the show having ended.
interrupt_when four/timeline.csv --out four --size 160x120 --fps 60 --from 150 --to 151
code=$?
check "an interrupted seek ends with exit code 130 (got $code)" [ $code -eq 130 ]
check "an interrupted seek says it was interrupted" grep -q "interrupted" err.txt
check "an interrupted seek does not blame the show's end" bash -c '! grep -q "show ended" err.txt'

mkdir bin
cat > bin/ffmpeg <<STANDIN
#!/usr/bin/env bash
out=\${@: -1}
case "\$FAULT:\$*" in
  trailer:*rawvideo*) cat > /dev/null; : > "\$out"; echo "[out#0/mp4] Error writing trailer: No space left on device" >&2; exit 0 ;;
  mux:*aac*) echo "half a video" > "\$out"; echo "No space left on device" >&2; exit 1 ;;
esac
exec $(command -v ffmpeg) "\$@"
STANDIN
chmod +x bin/ffmpeg

# 2. The final mux fails: the good video already there stays, no partial file is left.
echo "a good video" > two.mp4
FAULT=mux PATH="$work/bin:$PATH" "$tool" --out two --size 160x120 --fps 10 --to 1 --video two.mp4 2>err.txt
check "a failed mux fails the capture" [ $? -eq 1 ]
check "a failed mux leaves the earlier video as it was" [ "$(cat two.mp4)" = "a good video" ]
check "a failed mux leaves no partial file" [ "$(ls | grep -c '^two\.mp4')" -eq 1 ]

# 3. The encoder reports a failed trailer yet exits with 0: the step that failed is named.
FAULT=trailer PATH="$work/bin:$PATH" "$tool" --out three --size 160x120 --fps 10 --to 1 --video three.mp4 2>err.txt
check "a failed encoding fails the capture" [ $? -eq 1 ]
check "the encoding step is named with ffmpeg's message" grep -q "encoding the pictures.*failed" err.txt
check "ffmpeg's message is passed on" grep -q "Error writing trailer" err.txt
check "no video is left" [ ! -e three.mp4 ]

[ $failures -eq 0 ] || { echo "--- last stderr:"; cat err.txt; }
exit $((failures > 0))
