#!/usr/bin/env bash
# Draws the ribbon's button images into two strips, 32x32 (large) and 16x16 (small), index = position.
# The strips are kept in the tree; run this again (needs ImageMagick) after changing an icon.
set -euo pipefail
cd "$(dirname "$0")"
IM=/usr/bin/convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
icon() {  # icon <index> <draw arguments...>
  local index=$1; shift
  "$IM" -size 32x32 xc:none -strokewidth 2 "$@" "$work/$(printf %02d "$index").png"
}
icon 0  -fill '#3a6ea5' -stroke '#1d3b5c' -draw 'roundrectangle 3,9 29,27 3,3' -fill '#1d3b5c' -draw 'rectangle 11,5 21,9' -fill '#dfe9f5' -draw 'circle 16,18 16,12'   # capture
icon 1  -fill '#e8b84a' -stroke '#8a6a1c' -draw 'polygon 3,8 12,8 15,11 29,11 29,27 3,27' -fill '#3a6ea5' -stroke none -draw 'circle 22,21 22,17'   # save folder
icon 2  -fill '#e8b84a' -stroke '#8a6a1c' -draw 'polygon 3,8 12,8 15,11 26,11 26,15 8,15 3,27' -fill '#f4d27a' -draw 'polygon 8,15 30,15 25,27 3,27'   # open folder
icon 3  -fill white -stroke '#555555' -draw 'polygon 7,3 20,3 26,9 26,29 7,29' -stroke '#3a6ea5' -draw 'line 11,14 22,14' -draw 'line 11,19 22,19' -draw 'line 11,24 19,24'   # format
icon 4  -fill none -stroke '#3a6ea5' -strokewidth 3 -draw 'polyline 4,12 4,4 12,4' -draw 'polyline 20,4 28,4 28,12' -draw 'polyline 28,20 28,28 20,28' -draw 'polyline 12,28 4,28 4,20'   # size
icon 5  -stroke '#444444' -fill '#d94c4c' -draw 'circle 11,12 11,6' -fill '#4cb04c' -draw 'circle 21,12 21,6' -fill '#4c74d9' -draw 'circle 16,21 16,15'   # colour
icon 6  -fill none -stroke '#3a6ea5' -strokewidth 3 -draw 'arc 5,5 27,27 200,470' -fill '#3a6ea5' -stroke none -draw 'polygon 3,9 11,9 7,16'   # rotate
icon 7  -fill none -stroke '#555555' -strokewidth 3 -draw 'polyline 9,3 9,23 29,23' -draw 'polyline 3,9 23,9 23,29'   # crop
icon 8  -fill '#dfe9f5' -stroke '#1d3b5c' -draw 'rectangle 11,3 29,21' -draw 'rectangle 7,7 25,25' -draw 'rectangle 3,11 21,29'   # continuous
icon 9  -stroke '#555555' -strokewidth 2 -draw 'line 4,9 28,9' -draw 'line 4,16 28,16' -draw 'line 4,23 28,23' -fill '#3a6ea5' -draw 'rectangle 8,6 12,12' -draw 'rectangle 19,13 23,19' -draw 'rectangle 12,20 16,26'   # camera controls
icon 10 -fill none -stroke '#3a6ea5' -draw 'circle 16,16 16,5' -draw 'circle 16,16 16,11' -draw 'line 16,1 16,8' -draw 'line 16,24 16,31' -draw 'line 1,16 8,16' -draw 'line 24,16 31,16'   # focus
icon 11 -fill '#8a5a2c' -stroke none -draw 'polygon 18,16 22,20 10,31 6,27' -fill '#c0c0c0' -draw 'polygon 17,15 23,21 26,18 20,12' -fill '#d94c4c' -draw 'polygon 20,12 26,18 31,7 25,1'   # style
icon 12 -fill '#3a6ea5' -stroke '#1d3b5c' -draw 'circle 16,16 16,3' -fill white -stroke none -draw 'rectangle 14,13 18,25' -draw 'circle 16,9 16,7'   # help
icon 13 -fill '#d94c4c' -stroke '#7a2020' -draw 'roundrectangle 4,4 28,28 4,4' -stroke white -strokewidth 4 -draw 'line 10,10 22,22' -draw 'line 22,10 10,22'   # exit
icon 14 -fill '#d92c2c' -stroke '#7a1010' -draw 'circle 16,16 16,5'   # record
icon 15 -fill '#333333' -stroke none -draw 'rectangle 3,6 29,26' -fill white -draw 'rectangle 5,8 8,10' -draw 'rectangle 5,22 8,24' -draw 'rectangle 24,8 27,10' -draw 'rectangle 24,22 27,24' -fill '#7aa7d9' -draw 'rectangle 10,9 22,23'   # video format
icon 16 -fill '#dfe9f5' -stroke '#1d3b5c' -draw 'rectangle 4,5 28,27' -stroke '#3a6ea5' -draw 'line 8,11 24,11' -draw 'line 8,16 20,16' -draw 'line 8,21 24,21'   # properties
icon 17 -fill white -stroke '#555555' -draw 'roundrectangle 2,7 30,25 2,2' -fill '#3a6ea5' -stroke none -draw 'rectangle 5,11 12,19' -fill '#888888' -draw 'rectangle 15,12 27,13' -draw 'rectangle 15,16 25,17' -draw 'rectangle 15,20 22,21'   # card
"$IM" "$work"/*.png +append +repage -depth 8 -define png:exclude-chunks=date,time ribbon_large.png
"$IM" "$work"/*.png -resize 16x16 +append +repage -depth 8 -define png:exclude-chunks=date,time ribbon_small.png
