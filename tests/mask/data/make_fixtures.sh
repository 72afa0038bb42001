#!/bin/sh
# Writes the BMP fixtures of the mask tests with ImageMagick, so that the loader is tested on files
# another program wrote. The committed files are the reference; rerun only to add a case.
set -eu
CONVERT=${CONVERT:-convert}
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One 13 x 5 picture ('X' dark, ' ' light) in three palettes; 13 pixels leave padded rows.
rows='"XXX        X ",
"             ",
"XXXXXXXXXXXXX",
" X X X X X X ",
"X           X"'
xpm() { printf '/* XPM */\nstatic char *p[] = {\n"13 5 2 1",\n"%s",\n"%s",\n%s\n};\n' "$1" "$2" "$rows"; }
xpm 'X c #000000' '  c #FFFFFF' > "$tmp/black.xpm"
xpm '  c #FFFFFF' 'X c #000000' > "$tmp/white.xpm"
xpm 'X c #800000' '  c #FFFFFF' > "$tmp/red.xpm"
"$CONVERT" "$tmp/black.xpm" BMP3:mono_black_first.bmp
"$CONVERT" "$tmp/white.xpm" BMP3:mono_white_first.bmp
"$CONVERT" "$tmp/red.xpm" BMP3:mono_red_first.bmp

# 23 x 4 with more than 16 colours, so ImageMagick writes 8 bits per pixel (23 leaves padded rows).
"$CONVERT" -size 4x23 gradient:red-blue -rotate 90 \( -size 23x4 gradient:white-black \) \
    -compose multiply -composite -colors 40 -type palette BMP3:"$tmp/c.bmp"
"$CONVERT" "$tmp/c.bmp" -compress none BMP3:colour8.bmp
"$CONVERT" "$tmp/c.bmp" -compress RLE BMP3:colour8_rle.bmp
"$CONVERT" "$tmp/c.bmp" -compress none BMP2:colour8_os2.bmp

# Formats the box cannot take.
"$CONVERT" -size 7x3 gradient:red-blue -colors 5 -type palette BMP3:nibble4.bmp
"$CONVERT" -size 7x3 gradient:red-blue -define bmp:subtype=RGB565 BMP:rgb16.bmp
"$CONVERT" -size 7x3 gradient:red-blue -type truecolor BMP3:rgb24.bmp
"$CONVERT" -size 7x3 gradient:red-blue -alpha set -channel A -evaluate set 50% +channel BMP:rgb32.bmp
