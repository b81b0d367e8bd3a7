#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Tezra Net with warnings as errors and runs the whole
# test suite, then again under AddressSanitizer and UndefinedBehaviorSanitizer, and once more
# with a Russian locale. Run as root from anywhere.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"

jobs=$(nproc)
build="$root/build/test"
asan="$root/build/asan"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEZRA_WERROR=ON
cmake --build "$build" -j "$jobs"
(cd "$build" && ctest --output-on-failure -j "$jobs")

echo "== The same suite with a Russian desktop locale"
(cd "$build" && LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 ctest --output-on-failure -j "$jobs")

echo "== The same suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTEZRA_WERROR=ON \
    -DTEZRA_SANITIZE=ON -DTEZRA_BENCH=OFF
cmake --build "$asan" -j "$jobs"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs")
