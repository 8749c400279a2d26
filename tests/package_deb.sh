#!/usr/bin/env bash
# The Debian package that `cpack -G DEB` makes in the build folder, built into a scratch folder:
# its name, its control fields (version, dependencies found by dpkg-shlibdeps, ffmpeg only
# recommended), its files (the installed tree plus copyright and changelog), and lintian with no
# error.
set -u
build=$(cd "$1" && pwd)
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
  command -v $tool >/dev/null || { echo "$tool is needed (bash scripts/setup)"; exit 1; }
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
work=$(mktemp -d /tmp/tav-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$work") > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb="$work/tavremon_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$work"; echo "no $deb"; exit 1; }

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tavremon ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
[ "$(field Recommends)" = ffmpeg ] || fail "Recommends: $(field Recommends)"
[ "$(field Section)" = video ] || fail "Section: $(field Section)"
field Maintainer | grep -q "^The tavremon project <" || fail "Maintainer: $(field Maintainer)"
field Description | sed -n 2p | grep -q . || fail "no long description"
depends=$(field Depends)
for lib in libsdl2 libopenmpt libgtk-3 libgl1 libglu libegl1 libpng16 libc6; do
  echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
echo "$depends" | grep -q ffmpeg && fail "ffmpeg must not be a dependency: $depends"

files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6 ($7 ? " " $7 " " $8 : "")}' | LC_ALL=C sort)
expected="./usr/bin/tavremon -> ../lib/tavremon/tavremon
./usr/bin/tavremon-capture
./usr/lib/tavremon/tavremon
./usr/lib/tavremon/tavremon.yip
./usr/share/applications/tavremon.desktop
./usr/share/doc/tavremon/changelog.gz
./usr/share/doc/tavremon/copyright
./usr/share/icons/hicolor/128x128/apps/tavremon.png
./usr/share/icons/hicolor/256x256/apps/tavremon.png
./usr/share/icons/hicolor/48x48/apps/tavremon.png
./usr/share/man/man1/tavremon-capture.1.gz
./usr/share/man/man6/tavremon.6.gz"
[ "$files" = "$(echo "$expected" | LC_ALL=C sort)" ] || fail "package files differ:
$(diff <(echo "$expected" | LC_ALL=C sort) <(echo "$files"))"

lintian --fail-on error "$deb" > "$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"

[ $failures -eq 0 ] && echo "package $(basename "$deb") OK" && grep -v "root privileges" "$work/lintian.log"
exit $((failures > 0))
