#!/usr/bin/env bash
# Draws the installer's icon (a monitor showing a night sky with a moon) and
# writes res/installer.ico with three 256-colour images of 48, 32 and 16
# pixels. The .ico is kept in the repository; run this only to change the
# artwork. Needs ImageMagick (convert) and icoutils (icotool).
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The drawing, on a 256 x 256 canvas.
convert -size 256x256 xc:'#c0c0c0' \
  -fill '#e8e8e8' -draw 'rectangle 0,0 255,255' \
  -fill '#404040' -draw 'roundrectangle 16,20 240,196 18,18' \
  -fill '#8a8a8a' -draw 'roundrectangle 22,24 234,190 14,14' \
  -fill '#0b1a4a' -draw 'rectangle 38,38 218,172' \
  -fill '#1d3c8f' -draw 'rectangle 38,120 218,172' \
  -fill '#2e6fd8' -draw 'polygon 38,172 90,132 130,158 172,122 218,160 218,172' \
  -fill '#ffe066' -draw 'circle 160,78 160,48' \
  -fill '#0b1a4a' -draw 'circle 176,68 176,42' \
  -fill '#ffffff' -draw 'circle 70,60 70,66' -draw 'circle 104,90 104,95' \
  -draw 'circle 58,104 58,108' -draw 'circle 128,52 128,56' \
  -fill '#606060' -draw 'polygon 104,196 152,196 164,226 92,226' \
  -fill '#404040' -draw 'roundrectangle 64,222 192,240 8,8' \
  -alpha off -strip "$work/art.png"

for s in 48 32 16; do
  convert "$work/art.png" -filter Lanczos -resize "${s}x${s}" -dither None -colors 256 \
    -alpha off -strip "PNG24:$work/i$s.png"
done
icotool -c -b 8 -o res/installer.ico "$work/i48.png" "$work/i32.png" "$work/i16.png"
icotool -l res/installer.ico
