#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the demo station's splash pictures into examples/station/splash/ with ImageMagick:
# gradients, simple school motifs made of shapes, and the words "Tezra Net". Everything is
# drawn here from scratch; nothing is downloaded. The pictures are committed, so the build
# never runs this script.
#
# The fourth picture has the extension ".jpeg", so the station lists it after the ".jpg"
# pictures.

set -eu
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/examples/station/splash"
mkdir -p "$out"

command -v convert >/dev/null || {
    echo "make-splash-pictures: ImageMagick's convert is needed" >&2
    exit 1
}

fontdir=/usr/share/fonts/truetype/dejavu
if [ -f "$fontdir/DejaVuSans.ttf" ] && [ -f "$fontdir/DejaVuSans-Bold.ttf" ]; then
    font="$fontdir/DejaVuSans.ttf"
    bold="$fontdir/DejaVuSans-Bold.ttf"
else
    # ImageMagick's default font still draws Latin text; Cyrillic may be lost.
    font=""
    bold=""
fi

# font_option FILE: "-font FILE" when a font file was found, else nothing.
font_option() {
    if [ -n "$1" ]; then printf -- '-font\n%s\n' "$1"; fi
}

# Plain baseline RGB JPEG without metadata, as any JPEG decoder reads it.
jpeg_options="-strip -type TrueColor -interlace none -sampling-factor 2x2 -quality 85"

# report FILE: tells which picture was written and how large it is.
report() {
    echo "wrote ${1#"$root"/} ($(wc -c <"$1") bytes)"
}

hint="Щёлкните мышью, чтобы начать"

# shellcheck disable=SC2046,SC2086
{
    # 1. An open book under the title, on a deep blue to teal gradient.
    target="$out/splash-1-book.jpg"
    convert -size 800x600 "gradient:#1d3557-#2a9d8f" \
        -fill "#0000001e" -stroke none -draw "circle 680,110 800,110" \
        -draw "circle 90,520 200,520" \
        -fill "#f1faee" -stroke "#264653" -strokewidth 3 \
        -draw "polygon 400,330 250,300 170,320 170,500 250,480 400,510" \
        -draw "polygon 400,330 550,300 630,320 630,500 550,480 400,510" \
        -stroke "#a8dadc" -strokewidth 2 \
        -draw "line 200,350 370,370" -draw "line 200,385 370,405" \
        -draw "line 200,420 370,440" -draw "line 430,370 600,350" \
        -draw "line 430,405 600,385" -draw "line 430,440 600,420" \
        -stroke "#e63946" -strokewidth 5 -draw "line 400,330 400,510" \
        $(font_option "$bold") -stroke none -gravity north \
        -fill "#00000055" -pointsize 96 -annotate +4+84 "Tezra Net" \
        -fill "#f1faee" -annotate +0+80 "Tezra Net" \
        $(font_option "$font") -pointsize 30 -fill "#a8dadc" -annotate +0+200 \
        "Компьютерный класс" \
        -gravity south -pointsize 24 -fill "#f1faee" -annotate +0+30 "$hint" \
        $jpeg_options "$target"
    report "$target"

    # 2. A globe with meridians and parallels on a warm sunset gradient.
    target="$out/splash-2-globe.jpg"
    convert -size 800x600 "gradient:#ffb703-#d1495b" \
        -fill "#ffffff22" -stroke none -draw "circle 120,120 190,120" \
        -draw "circle 700,480 790,480" -draw "circle 690,90 720,90" \
        -fill "#219ebc" -stroke "#023047" -strokewidth 4 -draw "circle 400,315 400,145" \
        -fill "#8ac926" -stroke none \
        -draw "polygon 330,195 380,175 420,205 410,265 360,275 320,245" \
        -draw "polygon 430,295 500,275 540,325 500,395 450,375" \
        -draw "polygon 300,335 350,325 360,395 320,425 290,385" \
        -fill none -stroke "#ffffffaa" -strokewidth 2 \
        -draw "ellipse 400,315 60,170 0,360" -draw "ellipse 400,315 120,170 0,360" \
        -draw "line 400,145 400,485" -draw "line 230,315 570,315" \
        -draw "ellipse 400,315 150,35 0,360" -draw "line 250,230 550,230" \
        -draw "line 250,400 550,400" \
        -fill "#8d5524" -stroke none -draw "rectangle 390,490 410,530" \
        -draw "roundrectangle 330,525 470,550 8,8" \
        $(font_option "$bold") -gravity north -pointsize 84 \
        -fill "#00000040" -annotate +3+33 "Tezra Net" \
        -fill "#fffbf0" -annotate +0+30 "Tezra Net" \
        $(font_option "$font") -gravity south -pointsize 22 -fill "#fffbf0" \
        -annotate +0+14 "$hint" \
        $jpeg_options "$target"
    report "$target"

    # 3. A green chalkboard in a wooden frame, with chalk sums and a set square.
    target="$out/splash-3-board.jpg"
    convert -size 800x600 xc:"#8d6346" \
        -fill "#2f5d50" -stroke "#5c3d2e" -strokewidth 6 \
        -draw "rectangle 40,40 760,520" \
        -fill "#a47551" -stroke none -draw "rectangle 30,530 770,560" \
        -fill "#f8f9fa" -draw "roundrectangle 560,536 620,552 4,4" \
        -fill "#ffd6e0" -draw "roundrectangle 640,536 690,552 4,4" \
        -fill none -stroke "#f8f9faaa" -strokewidth 3 \
        -draw "polygon 560,460 720,460 560,320" \
        -draw "circle 160,420 160,350" -draw "line 160,420 215,378" \
        $(font_option "$bold") -stroke none -gravity north -pointsize 90 \
        -fill "#f8f9fa" -annotate +0+70 "Tezra Net" \
        $(font_option "$font") -gravity northwest -pointsize 34 -fill "#f8f9fadd" \
        -annotate +270+230 "2 + 2 = 4" \
        -annotate +270+290 "a² + b² = c²" \
        -annotate +270+350 "3/8 + 1/8 = 1/2" \
        -gravity south -pointsize 22 -fill "#fdf0d5" -annotate +0+6 "$hint" \
        $jpeg_options "$target"
    report "$target"

    # 4. Coloured pencils on a light sky gradient.
    target="$out/splash-4-pencils.jpeg"
    pencils=""
    i=0
    for colour in "#e63946" "#f4a261" "#e9c46a" "#2a9d8f" "#457b9d" "#6a4c93"; do
        x=$((190 + i * 75))
        pencils="$pencils fill $colour rectangle $x,250 $((x + 50)),470"
        pencils="$pencils fill #f1d3a1 polygon $x,250 $((x + 50)),250 $((x + 25)),190"
        pencils="$pencils fill $colour polygon $((x + 18)),213 $((x + 32)),213 $((x + 25)),190"
        pencils="$pencils fill #cfd8dc rectangle $x,470 $((x + 50)),490"
        pencils="$pencils fill #f28482 roundrectangle $x,490 $((x + 50)),515 6,6"
        i=$((i + 1))
    done
    convert -size 800x600 "gradient:#caf0f8-#90e0ef" \
        -fill "#ffffff99" -stroke none -draw "ellipse 130,110 80,30 0,360" \
        -draw "ellipse 190,95 60,28 0,360" -draw "ellipse 640,140 90,32 0,360" \
        -stroke "#33415c" -strokewidth 2 -draw "$pencils" \
        $(font_option "$bold") -stroke none -gravity north -pointsize 88 \
        -fill "#03045e" -annotate +0+40 "Tezra Net" \
        $(font_option "$font") -gravity south -pointsize 24 -fill "#03045e" \
        -annotate +0+40 "$hint" \
        $jpeg_options "$target"
    report "$target"
}
