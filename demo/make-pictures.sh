#!/bin/sh
# Regenerates the demo show's pictures (ImageMagick). The results are committed; run this
# only to change them.
set -eu
cd "$(dirname "$0")"

font=DejaVu-Sans-Bold
if ! convert -list font 2>/dev/null | grep -q "Font: $font\$"; then font=""; fi
label() { if [ -n "$font" ]; then echo "-font $font"; fi; }

# Morning sky with a title.
convert -size 640x480 gradient:'#ff9a3c'-'#1b2a6b' \
  $(label) -fill white -pointsize 56 -gravity center -annotate +0-40 'sceneplayer' \
  -pointsize 24 -annotate +0+30 'a demo show' \
  -strip -quality 80 sunrise.jpg

# A seeded plasma, so the picture is the same on every run.
convert -size 640x480 -seed 4711 plasma:'#206040'-'#a0e0ff' -blur 0x2 \
  -strip -quality 70 plasma.jpg

# Concentric rings.
convert -size 640x480 radial-gradient:'#fff3b0'-'#7a1f5c' \
  $(label) -fill '#ffffff' -pointsize 40 -gravity south -annotate +0+40 'transitions' \
  -strip -quality 80 rings.jpg

# Diagonal stripes for the tiled placement: a small 24-bit BMP.
convert -size 96x72 xc:'#203050' -fill '#f0c040' \
  -draw 'polygon 0,0 24,0 96,54 96,72 72,72 0,18' \
  -draw 'polygon 48,0 72,0 96,18 96,36' -draw 'polygon 0,36 0,54 24,72 48,72' \
  -type TrueColor BMP3:tile.bmp

# The picture that travels across the screen.
convert -size 200x120 gradient:'#e04040'-'#f0a030' \
  $(label) -fill white -pointsize 28 -gravity center -annotate +0+0 'moving' \
  -bordercolor white -border 4 -strip -quality 85 sprite.jpg

# Closing picture.
convert -size 640x480 gradient:'#0b0b2a'-'#3a6ea5' \
  $(label) -fill white -pointsize 36 -gravity center -annotate +0+0 'example.org' \
  -strip -quality 80 finale.jpg

ls -l sunrise.jpg plasma.jpg rings.jpg tile.bmp sprite.jpg finale.jpg
