#!/usr/bin/env bash
# Draws the glyph strips of the toolbar, the floating toolbar and the
# browser window's buttons with ImageMagick, into shell/data/glyphs/. The
# PNG files are committed; run this only to draw them again.
#   scripts/make-glyphs.sh
# Each glyph is one square cell on a fuchsia ground (255, 0, 255): the
# bottom-left pixel is the strip's transparent colour, as the speed
# buttons read it. Outlines are black, so that the embossed image of a
# disabled button shows them; no pixel is blended with the ground.
set -euo pipefail
cd "$(dirname "$0")/.."
convert=$(command -v /usr/bin/convert || command -v convert) || { echo "imagemagick's convert is missing" >&2; exit 1; }

out=shell/data/glyphs
mkdir -p "$out"
ground='#FF00FF'
navy='#000080'
green='#20A020'

# glyph NAME SIZE DRAW-ARGUMENTS...
glyph() {
  local name=$1 size=$2
  shift 2
  "$convert" -size "${size}x${size}" "xc:$ground" +antialias "$@" -alpha off \
    -define png:color-type=2 -define png:exclude-chunks=date,time "$out/$name.png"
}

# --- the toolbars: 20 x 20 ---

glyph newwindow 20 \
  -stroke black -strokewidth 1 -fill white -draw "rectangle 1,5 14,18" \
  -fill "$navy" -draw "rectangle 1,5 14,8" \
  -fill '#FFE000' -draw "polygon 16,0 17,3 19,4 17,5 16,8 15,5 12,4 15,3"

glyph back 20 \
  -stroke black -strokewidth 1 -fill "$green" \
  -draw "polygon 1,10 9,2 9,6 18,6 18,14 9,14 9,18"

glyph forward 20 \
  -stroke black -strokewidth 1 -fill "$green" \
  -draw "polygon 18,10 10,2 10,6 1,6 1,14 10,14 10,18"

glyph stop 20 \
  -stroke black -strokewidth 1 -fill '#D02020' \
  -draw "polygon 6,1 13,1 18,6 18,13 13,18 6,18 1,13 1,6" \
  -stroke white -strokewidth 2 -draw "line 7,7 12,12" -draw "line 12,7 7,12"

# A ring cut open at the top right, its arrow pointing on round the ring.
glyph refresh 20 \
  -stroke none -fill black -draw "circle 9.5,10.5 9.5,2" \
  -fill "$green" -draw "circle 9.5,10.5 9.5,3" \
  -fill black -draw "circle 9.5,10.5 9.5,6" \
  -fill "$ground" -draw "circle 9.5,10.5 9.5,7" \
  -draw "polygon 10,0 19,0 19,10 10,10" \
  -stroke black -strokewidth 1 -draw "line 10,2 10,6" \
  -fill "$green" -draw "polygon 12,10 19,10 16,4 15,4"

glyph home 20 \
  -stroke black -strokewidth 1 -fill '#804000' -draw "rectangle 13,2 15,7" \
  -fill '#F0E0A0' -draw "rectangle 4,9 15,18" \
  -fill '#C02020' -draw "polygon 0,10 9,1 10,1 19,10" \
  -fill '#804000' -draw "rectangle 8,12 11,18"

glyph search 20 \
  -stroke black -strokewidth 4 -draw "line 12,12 18,18" \
  -stroke '#A06020' -strokewidth 2 -draw "line 12,12 17,17" \
  -stroke black -strokewidth 1 -fill '#A0E0FF' -draw "circle 8,8 8,2" \
  -stroke white -draw "line 5,6 6,5"

glyph favorite 20 \
  -stroke black -strokewidth 1 -fill '#E0B020' -draw "polygon 1,4 7,4 9,6 18,6 18,17 1,17" \
  -fill '#FFE060' -draw "polygon 1,17 4,9 19,9 18,17" \
  -fill '#C02020' -stroke black -draw "polygon 11,10 12,12 14,12 12,14 13,16 11,15 9,16 10,14 8,12 10,12"

# Windows: white bodies, navy title bars, black frames.
glyph tile 20 \
  -stroke black -strokewidth 1 -fill white -draw "rectangle 0,3 9,17" -draw "rectangle 10,3 19,17" \
  -fill "$navy" -draw "rectangle 0,3 9,6" -draw "rectangle 10,3 19,6"

glyph cascade 20 \
  -stroke black -strokewidth 1 -fill white -draw "rectangle 0,1 12,13" \
  -fill "$navy" -draw "rectangle 0,1 12,4" \
  -fill white -draw "rectangle 6,6 19,18" -fill "$navy" -draw "rectangle 6,6 19,9"

# --- the browser window's bottom row ---

glyph back12 12 \
  -stroke black -strokewidth 1 -fill "$green" -draw "polygon 1,6 6,1 6,4 10,4 10,8 6,8 6,11"

glyph next12 12 \
  -stroke black -strokewidth 1 -fill "$green" -draw "polygon 10,6 5,1 5,4 1,4 1,8 5,8 5,11"

glyph stop16 16 \
  -stroke black -strokewidth 1 -fill '#D02020' \
  -draw "polygon 4,1 11,1 14,4 14,11 11,14 4,14 1,11 1,4" \
  -stroke white -draw "line 5,5 10,10" -draw "line 10,5 5,10"

glyph down7 7 -stroke black -strokewidth 1 -fill black -draw "polygon 0,2 6,2 3,5"

glyph up7 7 -stroke black -strokewidth 1 -fill black -draw "polygon 0,4 6,4 3,1"

echo "glyphs written to $out"
