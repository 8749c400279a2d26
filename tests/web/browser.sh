#!/usr/bin/env bash
# The browser tests (tests/web/browser_test.mjs): builds the web version into build-web/ beside the
# sources, with its data from the native build under test, then drives headless Chromium.
#   bash tests/web/browser.sh NATIVE_BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
for need in chromium emcc node npm ffmpeg; do
  command -v $need >/dev/null || { echo "$need is needed (bash scripts/setup)"; exit 1; }
done

# The test's own Node modules, exactly as the lockfile pins them. They are installed in the build
# folder and reached through a link, so the source tree holds only the test and its lockfile.
modules=$build/web-test
cd "$source/tests/web"
if ! cmp -s package-lock.json "$modules/node_modules/.tav-installed-lock" 2>/dev/null; then
  rm -rf "$modules"
  mkdir -p "$modules"
  cp package.json package-lock.json "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
  cp package-lock.json "$modules/node_modules/.tav-installed-lock"
fi
[ -L node_modules ] || rm -rf node_modules
ln -sfn "$modules/node_modules" node_modules

TAV_SKIP_SETUP=1 TAV_NATIVE_READY=1 bash "$source/scripts/run-web" --build-only --native-build "$build"

work=$(mktemp -d /tmp/tav-web-test.XXXXXX)
keep=0
trap '[ $keep = 1 ] || rm -rf "$work"' EXIT
if ! node browser_test.mjs "$source/build-web/site" "$build" "$source" "$work"; then
  keep=1
  echo "pictures and captures kept in $work"
  exit 1
fi
