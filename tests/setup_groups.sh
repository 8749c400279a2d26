#!/usr/bin/env bash
# scripts/setup --print: the show's group is part of the whole list and holds nothing that only
# tests, fuzzing or packaging need; no group means all; an unknown group is refused.
set -u
source=$2
show=$(bash "$source/scripts/setup" --print show | sort) || exit 1
all=$(bash "$source/scripts/setup" --print all | sort) || exit 1
fail=0
extra=$(comm -23 <(echo "$show") <(echo "$all"))
[ -z "$extra" ] || { echo "in show but not in all: $extra"; fail=1; }
for p in libgtest-dev clang xvfb lintian imagemagick zip; do
  grep -qx "$p" <<<"$show" && { echo "show installs $p, which only the tests need"; fail=1; }
  grep -qx "$p" <<<"$all" || { echo "all lacks $p"; fail=1; }
done
for p in g++ cmake libsdl2-dev libopenmpt-dev libpng-dev; do
  grep -qx "$p" <<<"$show" || { echo "show lacks $p"; fail=1; }
done
bash "$source/scripts/setup" --print >/dev/null 2>&1 || { echo "--print without a group fails"; fail=1; }
bash "$source/scripts/setup" --print shows >/dev/null 2>&1 && { echo "an unknown group was accepted"; fail=1; }
[ $fail -eq 0 ] && echo "setup groups OK"
exit $fail
