#!/bin/sh
# Regenerates every picture in resources/images from resources/source: each
# at its own size, and each but the application icons also at twice its size
# in resources/images/2x (same name), drawn from the same SVG for zoomed
# windows.
#
#   resources/generate.sh            all 72 pictures and their 69 at 2x
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

# One picture of the list at one scale: render, write in the type the editor
# expects, check the size.
# (Its variables are the script's: the names are its own.)
render() { # name width height kind flatten scale folder
    r_name=$1 r_width=$(($2 * $6)) r_height=$(($3 * $6)) r_kind=$4 r_flatten=$5 r_folder=$7
    r_stem=${r_name%.png}
    rsvg-convert --width "$r_width" --height "$r_height" --format png \
        --output "$work/$r_stem.png" "$svg/$r_stem.svg"
    case $r_kind in
    rgb)  # 8-bit RGB (colour type 2), flattened onto the picture's ground
        # shellcheck disable=SC2086
        "$convert" "$work/$r_stem.png" -background "$r_flatten" -alpha remove -alpha off \
            $clean "PNG24:$r_folder/$r_name" ;;
    rgba) # 8-bit RGBA (colour type 6)
        # shellcheck disable=SC2086
        "$convert" "$work/$r_stem.png" $clean "PNG32:$r_folder/$r_name" ;;
    *) echo "generate.sh: $r_name: unknown type $r_kind" >&2; exit 1 ;;
    esac
    actual=$("$convert" "$r_folder/$r_name" -format '%wx%h' info:)
    if [ "$actual" != "${r_width}x$r_height" ]; then
        echo "generate.sh: $r_folder/$r_name is $actual, not ${r_width}x$r_height" >&2
        exit 1
    fi
}

mkdir -p "$out/2x"
count=0
count2x=0
while read -r name width height kind flatten scales; do
    render "$name" "$width" "$height" "$kind" "$flatten" 1 "$out"
    count=$((count + 1))
    case $scales in
    1) ;;
    1,2)
        render "$name" "$width" "$height" "$kind" "$flatten" 2 "$out/2x"
        count2x=$((count2x + 1)) ;;
    *) echo "generate.sh: $name: unknown scales $scales" >&2; exit 1 ;;
    esac
done < "$svg/pictures.txt"

echo "generate.sh: $count pictures in $out, $count2x of them at 2x in $out/2x"
