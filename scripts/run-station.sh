#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Tezra Net and starts the station on the demo folder
# (build/release/station). The result collector answers on 127.0.0.1:8301 so that finished
# tests are accepted, and shows them on the teacher's page. Without a display the station runs
# on a virtual X display; a screenshot of its first screen is saved a few seconds after the
# start. Stop it with Ctrl+C.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"

build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEZRA_TESTS=OFF \
    -DTEZRA_BENCH=OFF
cmake --build "$build" -j "$(nproc)"
station="$build/station"

pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 0' INT TERM

# The class result server: tezra-collector keeps the results in the station folder and shows
# them on the teacher's page, behind a password made up for this folder.
password_file="$station/teacher-password"
if [ ! -s "$password_file" ]; then
    od -An -N6 -tx1 /dev/urandom | tr -d ' \n' >"$password_file"
fi
"$build/collector/tezra-collector" --listen 127.0.0.1:8301 --db "$station/results.sqlite" \
    --teacher-password-file "$password_file" >"$station/result-server.log" 2>&1 &
pids+=($!)
echo "Result collector: stations send to 127.0.0.1:8301 (log: $station/result-server.log)"
echo "Teacher's page: http://127.0.0.1:8301/ (any user name, password: $(cat "$password_file"))"

if [ -z "${DISPLAY:-}" ]; then
    display=:97
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=$display
    sleep 1
    echo "No display: the station runs on the virtual display $DISPLAY"
fi

cd "$station"
./tezra-net IP 127.0.0.1:8301 &
station_pid=$!
pids+=("$station_pid")
echo "Station started from $station (ini: $station/tezra-net.ini, log: $station/report.log)"

sleep 4
shot="$station/screenshot.png"
if import -window root "$shot" 2>/dev/null; then
    echo "Screenshot of the first screen: $shot"
fi
echo "Press Ctrl+C to stop the station."
wait "$station_pid"
