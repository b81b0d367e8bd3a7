#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that programs were built with the hardening flags: a position-independent executable,
# a read-only relocation table (RELRO) bound at start-up (BIND_NOW), and the stack protector.
# Usage: check-hardening.sh FILE... or check-hardening.sh --package NAME (every ELF file that
# the installed Debian package holds). Exits 1 and names each file and what it lacks.
set -euo pipefail

files=()
if [ "${1:-}" = "--package" ]; then
    while IFS= read -r path; do
        [ -f "$path" ] && [ ! -L "$path" ] && files+=("$path")
    done < <(dpkg -L "$2")
else
    files=("$@")
fi

failed=0
checked=0
for file in "${files[@]}"; do
    [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = "177ELF" ] || continue
    checked=$((checked + 1))
    missing=()
    # Each listing is read whole before it is searched: grep -q ending a pipe early would fail
    # the pipe under pipefail.
    header=$(readelf -hW "$file")
    segments=$(readelf -lW "$file")
    dynamic=$(readelf -dW "$file")
    symbols=$(readelf --dyn-syms -W "$file")
    grep -q 'Type:[[:space:]]*DYN' <<<"$header" || missing+=("PIE")
    grep -q 'GNU_RELRO' <<<"$segments" || missing+=("RELRO")
    grep -Eq '\(BIND_NOW\)|\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' <<<"$dynamic" ||
        missing+=("BIND_NOW")
    grep -q '__stack_chk_fail' <<<"$symbols" || missing+=("stack protector")
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "$file: built without: ${missing[*]}"
        failed=1
    else
        fortified=$(grep -c '__[a-z_]*_chk@' <<<"$symbols" || true)
        echo "$file: PIE, RELRO, BIND_NOW, stack protector ($fortified fortified calls)"
    fi
done
if [ "$checked" -eq 0 ]; then
    echo "no ELF file to check" >&2
    exit 1
fi
exit "$failed"
