#!/usr/bin/env bash
# Ways the real show ends besides Esc and its own end point, under a virtual X server with the
# dummy audio driver. Each case runs a copy of the program and its archive in a folder of its own:
#  - a loose module far shorter than the show (written by the data builder's module writer): the
#    show ends by itself once the song is over, with exit code 0;
#  - a loose module that is not a module: the show window is gone before the message box shows,
#    then exit code 1;
#  - SIGHUP (the terminal closed) and SIGQUIT while the show plays: exit code 0, as for SIGTERM.
set -u
build=$(cd "$1" && pwd)
for tool in xvfb-run xdotool xwininfo; do
  command -v $tool >/dev/null || { echo "$tool is needed"; exit 1; }
done
for file in tavremon tavremon.yip short_song_writer; do
  [ -e "$build/$file" ] || { echo "build $file first"; exit 1; }
done

work=$(mktemp -d /tmp/tav-endings.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Runs the show in folder $1 and then does $2 (song-end, message, or a signal name). Prints the
# exit code, or a word for what went wrong; the details go to $1/show.log.
run_show() {
  # A random first display number keeps this server apart from others started at the same moment.
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -noreset" bash -c '
    dir=$1; action=$2
    cd "$dir"
    PATH="$PWD/bin:$PATH" SDL_AUDIODRIVER=dummy ./tavremon > show.log 2>&1 &
    pid=$!
    titles() { xwininfo -root -tree 2>/dev/null; }
    wait_for() {  # exact window title; prints the first window id
      for _ in $(seq 1 300); do
        id=$(titles | grep -F "\"$1\":" | awk "{print \$1}" | head -n 1)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        kill -0 $pid 2>/dev/null || return 1
        sleep 0.1
      done
      return 1
    }
    finish() {  # waits up to $1 tenths of a second for the end; prints the exit code
      for _ in $(seq 1 "$1"); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
      if kill -0 $pid 2>/dev/null; then echo "still running" >> show.log; kill -9 $pid; echo hang; exit; fi
      wait $pid
      echo $?
    }
    dialog=$(wait_for "  Tavremon:54 setup.") || { echo "no setup dialog" >> show.log; kill -9 $pid; echo nodialog; exit; }
    sleep 0.3
    xdotool windowfocus --sync "$dialog" 2>/dev/null
    xdotool key Return
    case $action in
    song-end)
      finish 600 ;;
    message)
      # The box is either the stand-in zenity (which notes what it sees) or, where the X server
      # has the fonts for it, an X window titled "Error": then this notes it and presses Return.
      for _ in $(seq 1 300); do
        [ -e box.txt ] && break
        box=$(titles | grep -F "\"Error\":" | awk "{print \$1}" | head -n 1)
        if [ -n "$box" ]; then
          if titles | grep -qF "\"zelta!morbakunz\":"; then echo covered > box.txt; else echo clear > box.txt; fi
          xdotool windowfocus --sync "$box" 2>/dev/null
          xdotool key Return
          break
        fi
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
      done
      finish 100 > exit-code.txt
      echo "$(cat exit-code.txt) $(tail -n 1 box.txt 2>/dev/null || echo nobox)" ;;
    *)
      wait_for "zelta!morbakunz" > /dev/null || { echo "no show window" >> show.log; finish 10; exit; }
      sleep 1
      kill -s "$action" $pid
      finish 100 ;;
    esac
  ' _ "$1" "$2"
}

prepare() {
  mkdir -p "$work/$1"
  cp "$build/tavremon" "$build/tavremon.yip" "$work/$1/"
}

passes=0
failures=0
check() {  # name, expected exit code, folder, what happened
  if [ "$4" = "$2" ]; then echo "ok   $1"; passes=$((passes + 1)); else
    echo "FAIL $1: got $4, expected $2"; sed 's/^/     /' "$3/show.log"; failures=$((failures + 1)); fi
}

prepare short-song
"$build/short_song_writer" "$work/short-song/zlt!qmv.mo3" || exit 1
check "a song shorter than the show ends it, exit code 0" 0 "$work/short-song" "$(run_show "$work/short-song" song-end)"

prepare bad-module
printf 'not a module' > "$work/bad-module/zlt!qmv.mo3"
# SDL shows a message box without an owner window through zenity when it can. This one stands in
# for it: it notes whether the show window is still on the screen and answers OK. (A box owned by
# the show window never comes here.)
mkdir "$work/bad-module/bin"
cat > "$work/bad-module/bin/zenity" <<'EOF'
#!/bin/sh
if xwininfo -root -tree | grep -qF '"zelta!morbakunz":'; then echo covered > box.txt; else echo clear > box.txt; fi
EOF
chmod +x "$work/bad-module/bin/zenity"
check "a module that will not load: window gone, then the message, exit code 1" "1 clear" "$work/bad-module" \
  "$(run_show "$work/bad-module" message)"

for signal in HUP QUIT; do
  prepare "sig$signal"
  check "SIG$signal ends the show like SIGTERM, exit code 0" 0 "$work/sig$signal" "$(run_show "$work/sig$signal" $signal)"
done

echo "$passes passed, $failures failed"
[ $failures = 0 ]
