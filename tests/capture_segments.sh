#!/usr/bin/env bash
# A capture split over processes (--jobs 2) or over GNU parallel's jobs (--segment I/N, then --join)
# gives the pictures, sound, timeline and contact sheet of a one-process capture, byte for byte,
# over a stretch that crosses a change of scene (26.5 s) with --every picking frames across the
# segment boundaries; the split video holds every frame.
#   tests/capture_segments.sh BUILD_DIR
set -u
tool=$1/tavremon-capture
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
command -v parallel >/dev/null || { echo "needs GNU parallel (Debian package parallel)"; exit 1; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
span=(--size 96x72 --fps 10 --from 25.5 --to 27.6 --every 3)

# Everything but the render time of each frame, which is measured, not computed.
same_capture() {  # same_capture REFERENCE CANDIDATE HOW
  local name
  [ "$(cd "$1" && ls frame-*.png)" = "$(cd "$2" && ls frame-*.png)" ] || fail "$3: other frames than one process"
  for name in $(cd "$1" && ls frame-*.png) audio.wav; do
    cmp -s "$1/$name" "$2/$name" || fail "$3: $name differs"
  done
  cmp -s <(cut -d, -f1-5 "$1/timeline.csv") <(cut -d, -f1-5 "$2/timeline.csv") || fail "$3: timeline.csv differs"
  [ "$(ls -A "$2" | grep -vc -e '^frame-' -e '^audio.wav$' -e '^timeline.csv$')" -eq 0 ] || fail "$3: other files left"
}

"$tool" --out one "${span[@]}" --contact-sheet one.png || fail "one process"
[ "$(ls one/frame-*.png | wc -l)" -eq 7 ] || fail "one process: not 7 pictures"

"$tool" --out jobs "${span[@]}" --jobs 2 --contact-sheet jobs.png --video jobs.mp4 || fail "--jobs 2"
same_capture one jobs "--jobs 2"
cmp -s one.png jobs.png || fail "--jobs 2: contact sheet differs"
frames=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 jobs.mp4)
[ "$frames" = 21 ] || fail "--jobs 2: the video holds $frames frames, not 21"

# Antialiasing and motion blur change the pictures only: same size, same sound, same timeline rows.
"$tool" --out smooth "${span[@]}" --antialias 2 --motion-blur 2 || fail "--antialias 2 --motion-blur 2"
cmp -s one/audio.wav smooth/audio.wav || fail "--motion-blur: other sound"
cmp -s <(cut -d, -f1,2 one/timeline.csv) <(cut -d, -f1,2 smooth/timeline.csv) || fail "--motion-blur: other timeline rows"
[ "$(identify -format %wx%h smooth/frame-000258.png)" = 96x72 ] || fail "--antialias: picture size"

# The form for many machines, here three parallel jobs on this one; joined in any order.
parallel "'$tool' --out part{} ${span[*]} --segment {}/3" ::: 1 2 3 || fail "parallel segments"
"$tool" --join part3 part1 part2 --out joined --contact-sheet joined.png || fail "--join"
same_capture one joined "--segment/--join"
cmp -s one.png joined.png || fail "--join: contact sheet differs"
"$tool" --join part1 part3 --out gap 2>err.txt && fail "--join without segment 2 succeeded"
grep -q "segment 2/3 is missing" err.txt || fail "--join without segment 2: $(cat err.txt)"

exit $((failures > 0))
