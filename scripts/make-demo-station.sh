#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the demo station's text files and problem pictures from their readable sources.
#
#   examples/station/src/NAME.utf8  ->  examples/station/tezra/NAME   (tests, descriptions)
#   examples/station/src/tezra-net.ini.utf8  ->  examples/station/tezra-net.ini
#
# The station reads Windows-1251 text with CR LF line ends, so every source is converted
# from UTF-8 to CP1251 (iconv stops on a character that CP1251 cannot hold) and its line
# ends are rewritten as CR LF. The two pictures that the fractions test shows are drawn
# with ImageMagick. The generated files are committed, so the build never runs this
# script; run it again after editing a source. It reads and writes local files only.

set -eu
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
station="$root/examples/station"
src="$station/src"
tests="$station/tezra"
mkdir -p "$tests"

# to_cp1251_crlf SOURCE TARGET: UTF-8 text with LF or CR LF lines -> CP1251 with CR LF.
to_cp1251_crlf() {
    tmp="$2.tmp"
    if ! sed 's/\r$//; s/$/\r/' "$1" | iconv -f UTF-8 -t CP1251 >"$tmp"; then
        rm -f "$tmp"
        echo "make-demo-station: $1 holds a character that CP1251 cannot hold" >&2
        exit 1
    fi
    mv "$tmp" "$2"
    echo "wrote ${2#"$root"/}"
}

for source in "$src"/*.utf8; do
    name=$(basename "$source" .utf8)
    case "$name" in
    tezra-net.ini) to_cp1251_crlf "$source" "$station/$name" ;;
    *) to_cp1251_crlf "$source" "$tests/$name" ;;
    esac
done

# ---- problem pictures ----------------------------------------------------------------

command -v convert >/dev/null || {
    echo "make-demo-station: ImageMagick's convert is needed for the pictures" >&2
    exit 1
}

# Plain baseline RGB JPEG without metadata, as any JPEG decoder reads it.
jpeg_options="-strip -type TrueColor -interlace none -sampling-factor 2x2 -quality 90"

# pie_sector CX CY R FROM TO: an SVG path of the circle sector between the angles FROM and
# TO (degrees, clockwise from the top).
pie_sector() {
    awk -v cx="$1" -v cy="$2" -v r="$3" -v a="$4" -v b="$5" 'BEGIN {
        pi = atan2(0, -1)
        x1 = cx + r * sin(a * pi / 180); y1 = cy - r * cos(a * pi / 180)
        x2 = cx + r * sin(b * pi / 180); y2 = cy - r * cos(b * pi / 180)
        printf "M %d,%d L %.1f,%.1f A %d,%d 0 0,1 %.1f,%.1f Z", cx, cy, x1, y1, r, r, x2, y2
    }'
}

# A circle cut into 8 equal sectors, 3 of them shaded: the answer is 3/8.
pie_draw=""
for k in 0 1 2 3 4 5 6 7; do
    if [ "$k" -lt 3 ]; then fill="#f39c34"; else fill="#fdf6e3"; fi
    path=$(pie_sector 200 200 170 $((k * 45)) $((k * 45 + 45)))
    pie_draw="$pie_draw fill $fill path '$path'"
done
# shellcheck disable=SC2086
convert -size 400x400 xc:white -stroke "#3b3b3b" -strokewidth 4 \
    -draw "$pie_draw" $jpeg_options "$tests/fractions-pie.jpg"
echo "wrote examples/station/tezra/fractions-pie.jpg"

# A strip of 10 equal cells, 7 of them shaded (not all side by side): the answer is 7/10.
strip_draw=""
for k in 0 1 2 3 4 5 6 7 8 9; do
    case "$k" in
    2 | 5 | 9) fill="#fdf6e3" ;;
    *) fill="#4a90d9" ;;
    esac
    x=$((20 + k * 58))
    strip_draw="$strip_draw fill $fill rectangle $x,40 $((x + 58)),120"
done
# shellcheck disable=SC2086
convert -size 620x160 xc:white -stroke "#3b3b3b" -strokewidth 3 \
    -draw "$strip_draw" $jpeg_options "$tests/fractions-strip.jpg"
echo "wrote examples/station/tezra/fractions-strip.jpg"
