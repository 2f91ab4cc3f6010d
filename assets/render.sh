#!/bin/sh
# Re-render the artwork from assets/src:
#   background.jpg  <- src/background.svg   (301 x 225, JPEG q90, 4:4:4)
#   heart.ico       <- src/heart.svg        (16, 20, 24, 32 (24-bit), 40, 48, 64, 256 PNG)
# Needs rsvg-convert (librsvg2-bin), ImageMagick's convert, python3 and the
# WenQuanYi Zen Hei font; missing Debian/Ubuntu packages are installed.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src="$here/src"

need=""
command -v rsvg-convert >/dev/null 2>&1 || need="$need librsvg2-bin"
command -v convert >/dev/null 2>&1 || need="$need imagemagick"
command -v python3 >/dev/null 2>&1 || need="$need python3"
fc-list 2>/dev/null | grep -q "WenQuanYi Zen Hei" || need="$need fonts-wqy-zenhei fontconfig"
if [ -n "$need" ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "installing:$need"
    $sudo apt-get update -q
    # shellcheck disable=SC2086
    $sudo apt-get install -y -q $need
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# background: 1:1 pixels, no metadata, no chroma subsampling (keeps the red text crisp)
rsvg-convert "$src/background.svg" -o "$tmp/background.png"
convert "$tmp/background.png" -strip -colorspace sRGB -interlace none \
    -sampling-factor 1x1 -quality 90 "$here/background.jpg"

# icon: the small sizes get their own heavier outline
# (20, 24, 40 and 64 are the small and large icons at 125 %, 150 %, 125 % and 200 %)
rsvg-convert -s "$src/heart-16.css" -w 16 -h 16 "$src/heart.svg" -o "$tmp/h16.png"
rsvg-convert -s "$src/heart-16.css" -w 20 -h 20 "$src/heart.svg" -o "$tmp/h20.png"
rsvg-convert -s "$src/heart-32.css" -w 24 -h 24 "$src/heart.svg" -o "$tmp/h24.png"
rsvg-convert -s "$src/heart-32.css" -w 32 -h 32 "$src/heart.svg" -o "$tmp/h32.png"
for size in 40 48 64 256; do
    rsvg-convert -w $size -h $size "$src/heart.svg" -o "$tmp/h$size.png"
done
python3 "$src/make_ico.py" "$here/heart.ico" 16="$tmp/h16.png" 20="$tmp/h20.png" 24="$tmp/h24.png" \
    32="$tmp/h32.png" 40="$tmp/h40.png" 48="$tmp/h48.png" 64="$tmp/h64.png" 256="$tmp/h256.png"

echo "wrote $here/background.jpg and $here/heart.ico"
