#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the naming dialect of CONTRIBUTING.md (.clang-tidy, readability-identifier-naming) on
# our C++ files that changed since the commit in .ci/naming-base, and fails on a violation.
# The base moves forward each time work lands, so that a run stays short; with --all, or when
# the base is not in this clone, every file is checked (about 20 minutes on 2 cores).
#
#   bash scripts/check-naming.sh [--all] [BUILD_DIR]    (BUILD_DIR: build/test, configured)
#
# Checked: the folders of our programs and libraries (app ui net settings model interchange
# platform tools collector kiosk). Notes on lines of other files are not reported, so that an
# unchanged header does not fail a change. The system's own names that the rules cannot tell
# from ours carry NOLINT(readability-identifier-naming) where they are declared.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
all=0
if [ "${1:-}" = "--all" ]; then
    all=1
    shift
fi
build=$(cd "${1:-$root/build/test}" && pwd)
database="$build/compile_commands.json"
if [ ! -f "$database" ]; then
    echo "check-naming: no $database (configure the build first)" >&2
    exit 2
fi
command -v clang-tidy >/dev/null || { echo "check-naming: clang-tidy is not installed" >&2; exit 2; }
cd "$root"
folders='^(app|ui|net|settings|model|interchange|platform|tools|collector|kiosk)/.*\.(cpp|h)$'

base=$(tr -d '[:space:]' <.ci/naming-base)
if [ "$all" = 0 ] && git cat-file -e "$base^{commit}" 2>/dev/null; then
    # Committed and uncommitted changes against the base, and new files not yet added.
    changed=$( (git diff --name-only --diff-filter=d "$base" --
                git ls-files --others --exclude-standard) | sort -u)
    scope="changed since ${base:0:12}"
else
    [ "$all" = 1 ] || echo "check-naming: base ${base:0:12} is not in this clone" >&2
    changed=$(git ls-files)
    scope="all"
fi
changed=$(grep -E "$folders" <<<"$changed" || true)
if [ -z "$changed" ]; then
    echo "check-naming: no C++ file of ours $scope"
    exit 0
fi

# The translation units to parse: each changed source in the compile database, and for a
# changed header its own source or else a source that includes it.
mapfile -t sources < <(python3 - "$database" <<'PY'
import json, sys
for entry in json.load(open(sys.argv[1])):
    print(entry["file"])
PY
)
declare -A known=()
for source in "${sources[@]}"; do
    known["$source"]=1
done
units=()
for file in $changed; do
    path="$root/$file"
    if [[ "$file" == *.cpp ]]; then
        [ -n "${known[$path]:-}" ] && units+=("$path")
        continue
    fi
    own="${path%.h}.cpp"
    if [ -n "${known[$own]:-}" ]; then
        units+=("$own")
        continue
    fi
    for source in "${sources[@]}"; do
        if [[ "$source" == "$root"/* ]] && grep -q "#include \"$file\"" "$source" 2>/dev/null; then
            units+=("$source")
            break
        fi
    done
done
mapfile -t units < <(printf '%s\n' "${units[@]}" | sort -u)

# Only notes on the changed files count: clang-tidy's line filter matches the end of a path.
filter=$(printf '%s\n' $changed | python3 -c \
    'import json, sys; print(json.dumps([{"name": "/" + l.strip()} for l in sys.stdin if l.strip()]))')

echo "check-naming: ${#units[@]} translation units for $(wc -w <<<"$changed") files ($scope)"
status=0
printf '%s\n' "${units[@]}" |
    xargs -P 2 -n 4 clang-tidy -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option \
        --warnings-as-errors='readability-identifier-naming' --line-filter="$filter" \
        2> >(grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' >&2) || status=$?
if [ "$status" != 0 ]; then
    echo "check-naming: names that break the dialect of CONTRIBUTING.md (see above)" >&2
    exit 1
fi
echo "check-naming: every name follows the dialect"
