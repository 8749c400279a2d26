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

# The test's own Node modules, exactly as the lockfile pins them.
cd "$source/tests/web"
if ! cmp -s package-lock.json node_modules/.tav-installed-lock 2>/dev/null; then
  rm -rf node_modules
  npm ci --no-audit --no-fund --loglevel=error
  cp package-lock.json node_modules/.tav-installed-lock
fi

TAV_SKIP_SETUP=1 TAV_NATIVE_READY=1 bash "$source/scripts/run-web" --build-only --native-build "$build"

work=$(mktemp -d /tmp/tav-web-test.XXXXXX)
keep=0
trap '[ $keep = 1 ] || rm -rf "$work"' EXIT
if ! node browser_test.mjs "$source/build-web/site" "$build" "$source" "$work"; then
  keep=1
  echo "pictures and captures kept in $work"
  exit 1
fi
