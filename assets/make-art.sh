#!/bin/bash
# Draws the program's pictures beside this script with ImageMagick and the Liberation fonts.
# A developer's tool: the build takes the committed pictures and never runs this.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

die() {
    echo "make-art.sh: $*" >&2
    exit 1
}

for tool in convert awk; do
    command -v "$tool" >/dev/null 2>&1 || die "'$tool' is missing (Debian: apt-get install imagemagick)"
done
fonts=$(convert -list font)
for font in Liberation-Sans Liberation-Sans-Bold Liberation-Sans-Narrow-Bold; do
    grep -q "Font: $font\$" <<<"$fonts" || die "font $font is missing (Debian: apt-get install fonts-liberation)"
done

# Every shape is laid out on a 1000 x 1000 grid and drawn eight times larger than it is kept;
# shrinking with a box filter then gives clean edges even at 16 pixels.
over=8
# No timestamps or tool comments, so drawing again gives the same bytes.
clean=(-strip -define "png:exclude-chunk=date,time")

# Renders MVG drawing commands (on the 1000 grid) to a square transparent PNG of the given size.
render() {
    local size=$1 out=$2 mvg=$3
    local big=$((size * over))
    convert -size "${big}x${big}" xc:none \
        -draw "scale $(awk -v b="$big" 'BEGIN { printf "%.6f,%.6f", b / 1000, b / 1000 }') $mvg" \
        -filter Box -resize "${size}x${size}" "${clean[@]}" "PNG32:$out"
}

# A point at the given clock angle (degrees from twelve, clockwise) and radius from the centre.
at() {
    awk -v a="$1" -v r="$2" 'BEGIN { t = a * 3.14159265358979 / 180; printf "%.1f,%.1f", 500 + r * sin(t), 500 - r * cos(t) }'
}

# The program icon: a dark round face with green hands at four o'clock.
# Small sizes get heavier lines and fewer marks, or they would blur away.
clock_face() {
    local size=$1 rim hour minute mvg="" i width
    if [ "$size" -le 32 ]; then
        rim=64 hour=110 minute=86
    else
        rim=40 hour=74 minute=54
    fi
    mvg+="fill '#1e252d' stroke '#c9d3dc' stroke-width $rim circle 500,500 500,$((30 + rim / 2)) "
    if [ "$size" -ge 64 ]; then
        for i in $(seq 0 11); do
            width=24
            [ $((i % 3)) -eq 0 ] && width=44
            mvg+="stroke '#8b98a5' stroke-width $width stroke-linecap round "
            mvg+="line $(at $((i * 30)) 385) $(at $((i * 30)) 420) "
        done
    elif [ "$size" -ge 32 ]; then
        for i in 0 3 6 9; do
            mvg+="stroke '#8b98a5' stroke-width 60 stroke-linecap round line $(at $((i * 30)) 365) $(at $((i * 30)) 395) "
        done
    fi
    mvg+="stroke '#3ddc84' stroke-linecap round "
    mvg+="stroke-width $hour line 500,500 $(at 120 235) "
    mvg+="stroke-width $minute line 500,500 $(at 0 345) "
    mvg+="stroke none fill '#3ddc84' circle 500,500 500,$((500 - hour * 6 / 10)) "
    printf '%s' "$mvg"
}

# The strip's menu button: a light speaker with two sound waves, for a dark strip.
speaker() {
    local size=$1 wave=90
    [ "$size" -le 16 ] && wave=110
    printf '%s' "fill '#f2f4f6' stroke '#f2f4f6' stroke-width 30 stroke-linejoin round \
        polygon 90,370 270,370 500,170 500,830 270,630 90,630 \
        fill none stroke '#8fe3ff' stroke-width $wave stroke-linecap round \
        arc 420,330 760,670 -50,50 \
        arc 330,170 920,830 -48,48 \
        "
}

# The reminder's icon: a gold bell.
bell() {
    local size=$1 line=44
    [ "$size" -le 16 ] && line=64
    printf '%s' "stroke '#6b4300' stroke-width $line stroke-linejoin round fill '#ffc93c' \
        circle 500,850 500,935 \
        circle 500,120 500,190 \
        path 'M 500,175 C 300,175 235,330 235,520 L 235,680 L 120,790 L 880,790 L 765,680 L 765,520 C 765,330 700,175 500,175 Z' \
        stroke none fill '#fff2b8' \
        path 'M 330,640 L 330,520 C 330,400 365,320 430,285 C 395,360 390,440 390,640 Z' \
        "
}

for size in 16 32 64 128 256; do
    name=velmora-$size.png
    [ "$size" -eq 32 ] && name=velmora.png
    render "$size" "$here/$name" "$(clock_face "$size")"
done
render 32 "$here/image1.png" "$(speaker 32)"
render 32 "$here/zamanlayici.png" "$(bell 32)"
render 16 "$here/zamanlayici-16.png" "$(bell 16)"

# The About box's picture: a name plate over a gradient, with the clock face beside the program's name.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
render 72 "$work/face.png" "$(clock_face 72)"
convert -size 320x240 -define gradient:angle=160 gradient:'#1f6f78-#1b1f3b' \
    -gravity north -font Liberation-Sans-Narrow-Bold -pointsize 40 -fill '#a6f0c6' -annotate +0+14 'Orlenbay' \
    "$work/face.png" -gravity northwest -geometry +22+84 -composite \
    -gravity northwest -font Liberation-Sans-Bold -pointsize 48 -fill white -annotate +104+92 'Velmora' \
    -gravity south -font Liberation-Sans -pointsize 22 -fill '#e3e9f0' -annotate +0+22 'orlenbay.example/velmora' \
    -strip -quality 92 "$here/hakkinda.jpg"

echo "make-art.sh: pictures written to $here"
