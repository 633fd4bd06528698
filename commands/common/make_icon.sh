#!/bin/sh
# Regenerates command_icon.ico, the 32 x 32 icon of both commands: a blue
# tile with a sheet of paper and a red eraser stroke across it.
set -e
cd "$(dirname "$0")"
convert -size 32x32 xc:none \
  -fill '#1f5fa8' -stroke '#123d6e' -strokewidth 1 -draw 'roundrectangle 0.5,0.5 31.5,31.5 6,6' \
  -fill white -stroke '#9fb6cf' -draw 'polygon 9,5 19,5 24,10 24,27 9,27' \
  -fill '#d8e2ee' -stroke '#9fb6cf' -draw 'polygon 19,5 19,10 24,10' \
  -stroke '#7f8fa3' -strokewidth 1 -draw 'line 12,13 21,13' -draw 'line 12,17 21,17' -draw 'line 12,21 18,21' \
  -stroke '#e03c31' -strokewidth 3 -draw 'line 6,26 26,8' \
  -define icon:auto-resize=32 command_icon.ico
