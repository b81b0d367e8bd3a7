#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the screenshots of the teacher's guide (docs/teacher-guide/*.png) anew: the collector's
# browser tests run against the real collector on 127.0.0.1 in headless Chromium and save the
# views the guide shows while they check them. Run it after a change to the teacher's page and
# look at every picture before committing it.
#
#   scripts/guide-screenshots.sh [BUILD_FOLDER]   (default build/test, configured with tests on)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build/test"}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j 2 --target tezra-collector tezra-tool collector_browser_modules
browser="$root/tests/collector/browser"
export NODE_PATH="$build/tests/collector/browser/node_modules"
export TEZRA_GUIDE_SHOTS="$root/docs/teacher-guide"
output=$(mktemp -d)
trap 'rm -rf "$output"' EXIT
collector="$build/collector/tezra-collector"
node "$browser/page.test.js" "$collector" "$output"
node "$browser/library.test.js" "$collector" "$output"
node "$browser/editor.test.js" "$collector" "$build/tools/tezra-tool" "$output" chromium
echo "Screenshots written to $TEZRA_GUIDE_SHOTS:"
ls -l "$TEZRA_GUIDE_SHOTS"/*.png
