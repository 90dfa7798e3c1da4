#!/bin/sh
# Draws the faces of Glintmark's picture buttons: <CAPTION>U.png (up) and <CAPTION>D.png
# (pressed), 72 x 26 pixels unless a width is given, each with an @2x version of twice the size
# for 2x screens. A light-blue face with a dark border and the button's word in dark letters;
# the pressed face is sunk in.
# Needs ImageMagick's convert and fonts-liberation. Run it from anywhere; it writes beside itself.
set -eu
cd "$(dirname "$0")"

FONT=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
FACE='rgb(166,202,240)'
BORDER='rgb(28,52,84)'
LIGHT='rgb(236,244,253)'
SHADOW='rgb(110,146,190)'
INK='rgb(16,38,70)'

# The centre of band <n> (bands are <s> pixels wide) from the left or top edge, and from the
# right or bottom edge of a side <size> pixels long: convert puts pixel centres on integers.
near() { echo "$1 $2" | awk '{ print $1 * $2 + ($2 - 1) / 2 }'; }
far() { echo "$1 $2 $3" | awk '{ print $3 - 1 - ($1 * $2 + ($2 - 1) / 2) }'; }

# face <file> <word> <scale> <up|down> <width>
face() {
    file=$1 word=$2 s=$3 state=$4
    w=$(($5 * s)) h=$((26 * s))
    r=$((3 * s))
    if [ "$state" = up ]; then
        topLeft=$LIGHT bottomRight=$SHADOW shift=0
    else
        topLeft=$SHADOW bottomRight=$LIGHT shift=$s
    fi
    left0=$(near 0 "$s") right0=$(far 0 "$s" "$w") top0=$(near 0 "$s") bottom0=$(far 0 "$s" "$h")
    left1=$(near 1 "$s") right1=$(far 1 "$s" "$w") top1=$(near 1 "$s") bottom1=$(far 1 "$s" "$h")
    convert -size "${w}x${h}" xc:none \
        -fill "$FACE" -stroke "$BORDER" -strokewidth "$s" \
        -draw "roundrectangle $left0,$top0 $right0,$bottom0 $r,$r" \
        -fill none \
        -stroke "$topLeft" -draw "line $left1,$top1 $right1,$top1" -draw "line $left1,$top1 $left1,$bottom1" \
        -stroke "$bottomRight" -draw "line $left1,$bottom1 $right1,$bottom1" -draw "line $right1,$top1 $right1,$bottom1" \
        -stroke none -fill "$INK" -font "$FONT" -pointsize $((13 * s)) -gravity center \
        -annotate "+${shift}+${shift}" "$word" \
        -strip -define png:exclude-chunks=date,time "PNG32:$file"
}

# caption:word[:width]
for button in ADDCAT:Add DELETECAT:Delete ADDAFFIRM:Add DELETEAFFIRM:Delete OK:OK CANCEL:Cancel; do
    caption=${button%%:*} rest=${button#*:}
    word=${rest%%:*} width=72
    [ "$rest" = "$word" ] || width=${rest#*:}
    face "${caption}U.png" "$word" 1 up "$width"
    face "${caption}D.png" "$word" 1 down "$width"
    face "${caption}U@2x.png" "$word" 2 up "$width"
    face "${caption}D@2x.png" "$word" 2 down "$width"
done
