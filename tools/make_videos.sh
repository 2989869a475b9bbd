#!/bin/sh
# Makes the four short video lessons in resources/Видео: a title card with the lesson's title over a stave,
# a bar that grows with the lesson's time, and a short melody as sound. H.264/AAC in MP4, a few seconds each.
# Needs ffmpeg (apt-get install -y ffmpeg); the program itself does not.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/resources/Видео"
font=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
bold=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
seconds=6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# A plucked tone per half second: the note frequencies in Hz, one after another.
melody() {
    expr=""
    i=0
    for f in "$@"; do
        expr="$expr+$f*eq(floor(t*2),$i)"
        i=$((i + 1))
    done
    echo "0.35*sin(2*PI*t*(0${expr}))*exp(-4*mod(t,0.5))*lt(t,$i/2)"
}

# lesson FILE NUMBER TITLE BACKGROUND NOTES...
lesson() {
    file=$1 number=$2 title=$3 colour=$4
    shift 4
    printf '%s' "$title" > "$work/title.txt"
    printf 'Видеоурок %s' "$number" > "$work/number.txt"
    ffmpeg -hide_banner -loglevel error -y \
        -f lavfi -i "color=c=$colour:s=640x360:r=25:d=$seconds" \
        -f lavfi -i "aevalsrc='$(melody "$@")':s=44100:d=$seconds" \
        -filter_complex "[0:v]drawbox=x=60:y=250:w=520:h=2:color=white@0.6:t=fill,\
drawbox=x=60:y=262:w=520:h=2:color=white@0.6:t=fill,\
drawbox=x=60:y=274:w=520:h=2:color=white@0.6:t=fill,\
drawbox=x=60:y=286:w=520:h=2:color=white@0.6:t=fill,\
drawbox=x=60:y=298:w=520:h=2:color=white@0.6:t=fill,\
drawtext=fontfile=$font:textfile=$work/number.txt:fontsize=24:fontcolor=white@0.85:x=(w-text_w)/2:y=70,\
drawtext=fontfile=$bold:textfile=$work/title.txt:fontsize=40:fontcolor=white:x=(w-text_w)/2:y=140[card];\
color=c=gold:s=640x10:r=25:d=$seconds[bar];[card][bar]overlay=x='-w+W*t/$seconds':y=350:eval=frame[v]" \
        -map "[v]" -map 1:a \
        -c:v libx264 -preset medium -crf 30 -pix_fmt yuv420p -profile:v main \
        -c:a aac -b:a 64k -ac 1 \
        -map_metadata -1 -fflags +bitexact -movflags +faststart \
        "$out/$file"
    echo "$out/$file: $(stat -c %s "$out/$file") bytes"
}

# The major scale up from C4; a round-dance tune; a C major arpeggio; the scale down from C5.
lesson dvoichaia.mp4 1 "И муза вечная со мной" 0x4b2c6b 261.63 293.66 329.63 349.23 392.00 440.00 493.88 523.25
lesson logoper.mp4 2 "Хоровод муз" 0x2c4b6b 440.00 440.00 440.00 440.00 392.00 349.23 349.23 329.63 293.66
lesson modelmetod.mp4 3 "Душа музыки" 0x6b2c3a 261.63 329.63 392.00 523.25 392.00 329.63 261.63
lesson znakmodel.mp4 4 "Музыкальная музыка" 0x2c6b4b 523.25 493.88 440.00 392.00 349.23 329.63 293.66 261.63
