#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
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

# The package installs under /usr, also in a build tree first configured with another prefix.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEZRA_WERROR=ON \
    -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" -j "$jobs"
echo "== The naming dialect on the C++ files changed since .ci/naming-base"
bash "$root/scripts/check-naming.sh" "$build"
(cd "$build" && ctest --output-on-failure -j "$jobs")

echo "== The Debian package: lintian, installation, and the installed example station"
cmake --build "$build" --target package
deb=$(ls "$build"/tezra-net_*_amd64.deb)
lintian_report=$(lintian --fail-on error --display-info "$deb") || { echo "$lintian_report"; exit 1; }
echo "$lintian_report"
# Lintian's notes on hardening (no PIE, no RELRO, no BIND_NOW, unfortified calls) fail the build.
if grep -q 'hardening-' <<<"$lintian_report"; then
    echo "lintian found a binary without the hardening flags" >&2
    exit 1
fi
apt-get install -y -qq --reinstall "$deb" >/dev/null
# Every installed program is a hardened build.
bash "$root/scripts/check-hardening.sh" --package tezra-net
example=/usr/share/tezra-net/examples/station
# The installed collector answers as the example's first result server (127.0.0.1:8301), so
# that the station check finds a server to reach.
scratch=$(mktemp -d)
echo "check" >"$scratch/password"
tezra-collector --listen 127.0.0.1:8301 --db "$scratch/results.sqlite" \
    --teacher-password-file "$scratch/password" >"$scratch/collector.log" 2>&1 &
collector=$!
trap 'kill "$collector" 2>/dev/null || true; rm -rf "$scratch"' EXIT
for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/8301) 2>/dev/null && break
    sleep 0.1
done
tezra-tool check --station "$example"
kill "$collector"
wait "$collector" 2>/dev/null || true
trap - EXIT
rm -rf "$scratch"
# The station folder that the kiosk user writes report.log into.
test "$(stat -c '%G %a' /var/lib/tezra-net)" = "tezra-net 2775"
grep -qF '"Secure": true' <<<"$(tezra-tool station /var/lib/tezra-net)"
tezra-kiosk --help >/dev/null
echo "Installed $(basename "$deb") (remove it with: apt-get purge tezra-net)"

echo "== The same suite with a Russian desktop locale"
# The PostgreSQL runs do not depend on the desktop locale and ran above.
(cd "$build" && LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 \
    ctest --output-on-failure -j "$jobs" -LE postgres)

echo "== The same suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTEZRA_WERROR=ON \
    -DTEZRA_SANITIZE=ON -DTEZRA_BENCH=OFF
cmake --build "$asan" -j "$jobs"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" -LE postgres)
