#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Tezra Net with warnings as errors and runs the whole
# test suite, then again under AddressSanitizer and UndefinedBehaviorSanitizer, and once more
# with a Russian locale; builds the Debian package and installs it on this machine. Run as
# root from anywhere.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"

jobs=$(nproc)
build="$root/build/test"
asan="$root/build/asan"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEZRA_WERROR=ON
cmake --build "$build" -j "$jobs"
(cd "$build" && ctest --output-on-failure -j "$jobs")

echo "== The Debian package: lintian, installation, and the installed example station"
cmake --build "$build" --target package
deb=$(ls "$build"/tezra-net_*_amd64.deb)
lintian --fail-on error "$deb"
apt-get install -y -qq "$deb" >/dev/null
example=/usr/share/tezra-net/examples/station
if tezra-tool check --help >/dev/null 2>&1; then
    tezra-tool check --station "$example"
else
    tezra-tool station "$example" | grep -q "\"$example/tezra/fractions-5.ttxt\""
fi
# The station folder that the kiosk user writes report.log into.
test "$(stat -c '%G %a' /var/lib/tezra-net)" = "tezra-net 2775"
tezra-tool station /var/lib/tezra-net | grep -q '"Secure": true'
tezra-kiosk --help >/dev/null
echo "Installed $(basename "$deb") (remove it with: apt-get purge tezra-net)"

echo "== The same suite with a Russian desktop locale"
(cd "$build" && LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 ctest --output-on-failure -j "$jobs")

echo "== The same suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTEZRA_WERROR=ON \
    -DTEZRA_SANITIZE=ON -DTEZRA_BENCH=OFF
cmake --build "$asan" -j "$jobs"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs")
