#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) and runs each one for
# FUZZ_SECONDS (default 60) on its seed corpus. Any finding fails the script.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
build="$root/build/fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTEZRA_FUZZ=ON
cmake --build "$build" -j "$(nproc)"

shopt -s nullglob
status=0
passed=0
failed=0
for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$root/fuzz/corpus/$name"
    work=$(mktemp -d)
    seeds=()
    [ -d "$corpus" ] && seeds=("$corpus")
    echo "== $name for ${seconds}s"
    if ! (cd "$work" && "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 "$work" "${seeds[@]}" 2>"$work/log"); then
        tail -n 60 "$work/log"
        echo "$name: finding (see above)"
        status=1
        failed=$((failed + 1))
    else
        grep -E '^stat::number_of_executed_units|^Done' "$work/log" || true
        passed=$((passed + 1))
    fi
    rm -rf "$work"
done
echo "fuzz: $passed passed, $failed failed"
exit $status
