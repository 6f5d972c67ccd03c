#!/bin/sh
# Regenerates every picture in resources/images from resources/source.
#
#   resources/generate.sh            all 72 pictures
#   SVG_DIR=/tmp/svg resources/generate.sh   keeps the intermediate SVG files
#
# Needs python3, rsvg-convert (librsvg2-bin), ImageMagick and the Liberation
# Sans font (fonts-liberation). The output carries no time stamps or other
# metadata, so the same tools give the same bytes.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out="$here/images"
# ImageMagick 7 is "magick", 6 is "convert"; CONVERT overrides both.
convert=${CONVERT:-$(command -v magick || command -v convert || true)}
if [ -z "$convert" ] || ! command -v rsvg-convert >/dev/null; then
    echo "generate.sh: needs rsvg-convert and ImageMagick (apt install librsvg2-bin imagemagick)" >&2
    exit 1
fi
if ! fc-list "Liberation Sans" | grep -q .; then
    echo "generate.sh: needs the Liberation Sans font (apt install fonts-liberation)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
svg=${SVG_DIR:-$work/svg}

python3 "$here/source/pictures.py" "$svg"
mkdir -p "$out"

# No date, time or other ancillary chunks: only IHDR, IDAT and IEND remain.
clean="-strip -define png:exclude-chunks=all"

count=0
while read -r name width height kind flatten; do
    stem=${name%.png}
    rsvg-convert --width "$width" --height "$height" --format png \
        --output "$work/$stem.png" "$svg/$stem.svg"
    case $kind in
    rgb)  # 8-bit RGB (colour type 2), flattened onto the picture's ground
        # shellcheck disable=SC2086
        "$convert" "$work/$stem.png" -background "$flatten" -alpha remove -alpha off \
            $clean "PNG24:$out/$name" ;;
    rgba) # 8-bit RGBA (colour type 6)
        # shellcheck disable=SC2086
        "$convert" "$work/$stem.png" $clean "PNG32:$out/$name" ;;
    *) echo "generate.sh: $name: unknown type $kind" >&2; exit 1 ;;
    esac
    actual=$("$convert" "$out/$name" -format '%wx%h' info:)
    if [ "$actual" != "${width}x$height" ]; then
        echo "generate.sh: $name is $actual, not ${width}x$height" >&2
        exit 1
    fi
    count=$((count + 1))
done < "$svg/pictures.txt"

echo "generate.sh: $count pictures in $out"
