#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a fresh Debian 12 machine, builds Tezra Net and starts the station on the demo folder
# (build/release/station). The result collector answers on 127.0.0.1:8301 so that finished
# tests are accepted, and shows them on the teacher's page.
#
# With a display the station starts there for you to use. Without one, a student walks through
# it on a virtual X display (splash, login, chooser, a fractions test, the score, the results
# window), a picture of every window is saved under build/screenshots/ and its path printed,
# and the station then stays running on that display. Stop it with Ctrl+C.
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
    # The walkthrough runs in a session of its own, so that stopping this script ends its X
    # server, window manager and station as one group.
    echo "No display: a student walks through the station on a virtual display"
    setsid /usr/bin/python3 "$root/scripts/demo-walkthrough.py" --station "$station" \
        --tool "$build/tools/tezra-tool" --server 127.0.0.1:8301 \
        --shots "$root/build/screenshots" &
    demo=$!
    cleanup_demo() {
        kill -TERM -- "-$demo" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 -- "-$demo" 2>/dev/null || break
            sleep 0.2
        done
    }
    trap 'cleanup_demo; cleanup' EXIT
    wait "$demo"
    exit
fi

cd "$station"
./tezra-net IP 127.0.0.1:8301 &
station_pid=$!
pids+=("$station_pid")
echo "Station started from $station (ini: $station/tezra-net.ini, log: $station/report.log)"
echo "Press Ctrl+C to stop the station."
wait "$station_pid"
