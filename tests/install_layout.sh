#!/usr/bin/env bash
# The installed tree, as `cmake --install` lays it out into a DESTDIR staging folder:
#  - exactly the expected files, and still working after the whole tree is moved elsewhere;
#  - --help and --version of both programs, and the show's refusal of any other argument;
#  - the capture tool, started from an unrelated folder, finds the installed data and renders;
#  - the show, started through its bin/ link, finds its data: dialog, Enter, Esc, exit code 0;
#  - the menu entry passes desktop-file-validate, the icons are the sizes their folders say,
#    and both manual pages render without a groff warning.
set -u
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
for tool in desktop-file-validate man identify; do
  command -v $tool >/dev/null || { echo "$tool is needed (bash scripts/setup)"; exit 1; }
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
work=$(mktemp -d /tmp/tav-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr > "$work/install.log" || {
  cat "$work/install.log"; echo "cmake --install failed"; exit 1; }
# Relative links and lookups only: the tree must work wherever it lies.
mv "$work/stage/usr" "$work/moved"
p="$work/moved"
[ -z "$(ls -A "$work/stage")" ] || fail "files outside the prefix: $(cd "$work/stage" && find . ! -type d)"

expected="bin/tavremon -> ../lib/tavremon/tavremon
bin/tavremon-capture
lib/tavremon/tavremon
lib/tavremon/tavremon.yip
share/applications/tavremon.desktop
share/icons/hicolor/128x128/apps/tavremon.png
share/icons/hicolor/256x256/apps/tavremon.png
share/icons/hicolor/48x48/apps/tavremon.png
share/man/man1/tavremon-capture.1.gz
share/man/man6/tavremon.6.gz"
actual=$(cd "$p" && find . ! -type d -printf '%P\n' | while read -r f; do
  if [ -L "$f" ]; then echo "$f -> $(readlink "$f")"; else echo "$f"; fi; done | LC_ALL=C sort)
[ "$actual" = "$(echo "$expected" | LC_ALL=C sort)" ] || fail "installed files differ:
$(diff <(echo "$expected" | LC_ALL=C sort) <(echo "$actual"))"

# Command lines.
for program in tavremon tavremon-capture; do
  out=$("$p/bin/$program" --version); rc=$?
  [ $rc -eq 0 ] && [ "$out" = "$program $version" ] || fail "$program --version: rc $rc, '$out'"
  out=$("$p/bin/$program" --help); rc=$?
  [ $rc -eq 0 ] && echo "$out" | grep -q "^usage: $program" || fail "$program --help: rc $rc"
done
# An answer that cannot be written is a failure, not a success.
"$p/bin/tavremon" --version > /dev/full 2> /dev/null; rc=$?
[ $rc -eq 1 ] || fail "tavremon --version into a full device: rc $rc"
for args in "--fullscreen" "--help extra" "-v"; do
  "$p/bin/tavremon" $args > "$work/out" 2> "$work/err"; rc=$?
  [ $rc -eq 2 ] && [ ! -s "$work/out" ] && head -n 1 "$work/err" | grep -q "^tavremon: .*'" &&
    sed -n 2p "$work/err" | grep -q "^usage: tavremon" || fail "tavremon $args: rc $rc, $(cat "$work/err")"
done

# The capture tool from a folder that has nothing to do with the show.
mkdir "$work/elsewhere"
(cd "$work/elsewhere" && "$p/bin/tavremon-capture" --to 0.1 --size 64x48 --out frames) > "$work/capture.log" 2>&1 ||
  fail "installed capture: $(cat "$work/capture.log")"
[ -s "$work/elsewhere/frames/frame-000000.png" ] || fail "installed capture wrote no frame"

# The show through its link, from another folder: it only gets past loading if it found its data.
(cd "$work/elsewhere" && bash "$source/tests/show_window_e2e.sh" "$p/bin") > "$work/show.log" 2>&1 ||
  fail "installed show: $(cat "$work/show.log")"

# Menu entry, icons, manual pages.
desktop-file-validate "$p/share/applications/tavremon.desktop" || fail "desktop-file-validate"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$p/share/applications/tavremon.desktop")
[ -x "$p/bin/$exec_name" ] || fail "the menu entry starts '$exec_name', which is not installed in bin/"
for size in 48 128 256; do
  got=$(identify -format '%wx%h' "$p/share/icons/hicolor/${size}x$size/apps/tavremon.png")
  [ "$got" = "${size}x$size" ] || fail "the ${size}x$size icon is $got"
done
for page in man6/tavremon.6.gz man1/tavremon-capture.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$p/share/man/$page" 2>&1 >"$work/page")
  [ -z "$warnings" ] || fail "$page: $warnings"
  grep -q "tavremon $version" "$work/page" || fail "$page does not name version $version"
done

[ $failures -eq 0 ] && echo "installed tree OK"
exit $((failures > 0))
