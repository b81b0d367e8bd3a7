#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The station's start-up measured from outside: process start to splash window mapped, and the
# resident memory after start-up, on a fresh Xvfb without a window manager.
#
#   bench/startup/run.sh [BUILD_DIR] [benchmark options]     (BUILD_DIR: build/test)
#
# The Xvfb takes the first free display of TEZRA_E2E_DISPLAYS (such as 90-96; 90-99 by default)
# and is stopped at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/test}
shift || true
bench="$build/bench/startup/bench_startup"
[ -x "$bench" ] || { echo "no $bench: build $build with the benchmarks first" >&2; exit 1; }

range=${TEZRA_E2E_DISPLAYS:-90-99}
first=${range%-*}
last=${range#*-}
for number in $(seq "$first" "$last"); do
    if [ ! -e "/tmp/.X$number-lock" ] && [ ! -e "/tmp/.X11-unix/X$number" ]; then
        break
    fi
    number=
done
[ -n "${number:-}" ] || { echo "no free display in $range" >&2; exit 1; }

Xvfb ":$number" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    DISPLAY=":$number" xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
DISPLAY=":$number" "$bench" "$@"
