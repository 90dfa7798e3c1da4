#!/bin/sh
# Draws the faces of Glintmark's picture buttons: <CAPTION>U.png (up) and <CAPTION>D.png
# (pressed), each with an @2x version of twice the size for 2x screens. A light-blue face with a
# dark border and the button's word in dark letters; the pressed face is sunk in. Most are
# 72 x 26; EDIT ("Add message") is 144 x 26 and FONT (66 x 78) shows a folder above its word.
# Needs ImageMagick's convert and fonts-liberation. Run it from anywhere; it writes beside itself.
set -eu
cd "$(dirname "$0")"

FONT=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
FACE='rgb(166,202,240)'
BORDER='rgb(28,52,84)'
LIGHT='rgb(236,244,253)'
SHADOW='rgb(110,146,190)'
INK='rgb(16,38,70)'
FOLDER='rgb(246,204,96)'
FOLDER_BACK='rgb(222,170,58)'
FOLDER_EDGE='rgb(120,84,20)'

# The centre of band <n> (bands are <s> pixels wide) from the left or top edge, and from the
# right or bottom edge of a side <size> pixels long: convert puts pixel centres on integers.
near() { echo "$1 $2" | awk '{ print $1 * $2 + ($2 - 1) / 2 }'; }
far() { echo "$1 $2 $3" | awk '{ print $3 - 1 - ($1 * $2 + ($2 - 1) / 2) }'; }
# <value> <scale>: a length in 1x pixels at the given scale, as a pixel centre.
at() { echo "$1 $2" | awk '{ print $1 * $2 + ($2 - 1) / 2 }'; }

# face <file> <word> <width> <height> <scale> <up|down> [folder]
face() {
    file=$1 word=$2 w=$(($3 * $5)) h=$(($4 * $5)) s=$5 state=$6 picture=${7:-}
    r=$((3 * s))
    if [ "$state" = up ]; then
        topLeft=$LIGHT bottomRight=$SHADOW shift=0
    else
        topLeft=$SHADOW bottomRight=$LIGHT shift=$s
    fi
    left0=$(near 0 "$s") right0=$(far 0 "$s" "$w") top0=$(near 0 "$s") bottom0=$(far 0 "$s" "$h")
    left1=$(near 1 "$s") right1=$(far 1 "$s" "$w") top1=$(near 1 "$s") bottom1=$(far 1 "$s" "$h")
    set -- -size "${w}x${h}" xc:none \
        -fill "$FACE" -stroke "$BORDER" -strokewidth "$s" \
        -draw "roundrectangle $left0,$top0 $right0,$bottom0 $r,$r" \
        -fill none \
        -stroke "$topLeft" -draw "line $left1,$top1 $right1,$top1" -draw "line $left1,$top1 $left1,$bottom1" \
        -stroke "$bottomRight" -draw "line $left1,$bottom1 $right1,$bottom1" -draw "line $right1,$top1 $right1,$bottom1"
    if [ "$picture" = folder ]; then
        # A folder in the upper part, the word below it.
        d=$((shift / s))
        x0=$(at $((15 + d)) "$s") x1=$(at $((50 + d)) "$s")
        tabRight=$(at $((30 + d)) "$s")
        yTab=$(at $((10 + d)) "$s") yBack=$(at $((15 + d)) "$s") yFront=$(at $((21 + d)) "$s") y1=$(at $((46 + d)) "$s")
        xFront0=$(at $((18 + d)) "$s") xFront1=$(at $((53 + d)) "$s")
        set -- "$@" -stroke "$FOLDER_EDGE" -strokewidth "$s" \
            -fill "$FOLDER_BACK" -draw "polygon $x0,$yTab $tabRight,$yTab $(at $((33 + d)) "$s"),$yBack $x1,$yBack $x1,$y1 $x0,$y1" \
            -fill "$FOLDER" -draw "polygon $x0,$y1 $xFront0,$yFront $xFront1,$yFront $x1,$y1" \
            -stroke none -fill "$INK" -font "$FONT" -pointsize $((14 * s)) -gravity south \
            -annotate "+${shift}+$((8 * s - shift))" "$word"
    else
        set -- "$@" -stroke none -fill "$INK" -font "$FONT" -pointsize $((13 * s)) -gravity center \
            -annotate "+${shift}+${shift}" "$word"
    fi
    convert "$@" -strip -define png:exclude-chunks=date,time "PNG32:$file"
}

# caption:width:height:word (an underscore stands for a space)[:picture]
for button in ADDCAT:72:26:Add DELETECAT:72:26:Delete ADDAFFIRM:72:26:Add DELETEAFFIRM:72:26:Delete \
              OK:72:26:OK CANCEL:72:26:Cancel \
              EDIT:144:26:Add_message HELP1:72:26:Help EXIT:72:26:Exit FONT:66:78:Font:folder; do
    IFS=: read -r caption width height word picture <<FIELDS
$button
FIELDS
    word=$(echo "$word" | tr _ ' ')
    for scale in 1 2; do
        suffix=; [ "$scale" = 2 ] && suffix=@2x
        face "${caption}U${suffix}.png" "$word" "$width" "$height" "$scale" up "$picture"
        face "${caption}D${suffix}.png" "$word" "$width" "$height" "$scale" down "$picture"
    done
done
