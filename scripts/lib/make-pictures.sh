#!/usr/bin/env bash
# Draws the program's pictures and icons into ui/res/ with ImageMagick (and the DejaVu
# fonts for the name). The results are committed; run this only to change them.
# Every drawing is made on a large canvas and scaled down, which smooths the edges.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=ui/res
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
font_plain=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
command -v convert >/dev/null || { echo "make-pictures: needs ImageMagick (apt-get install imagemagick)" >&2; exit 1; }
[ -f "$font" ] || { echo "make-pictures: needs $font (apt-get install fonts-dejavu-core)" >&2; exit 1; }
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

teal='#1f6f8b'
teal_dark='#164f63'
pale='#d7e9ef'
amber='#e8a33d'
amber_dark='#b7761c'
wood='#8a5a2b'
stale_red='#c8463d'

# The emblem in a 256 x 256 box: a key tree whose lowest key, a stale one, is being swept
# by a broom. $1 is the colour of the tree (the banner draws it white).
emblem() {
  local ink=${1:-$teal} node_fill=${2:-$teal}
  cat <<EOF
push graphic-context
  stroke $ink stroke-width 12 stroke-linecap round fill none
  line 56,78 56,188
  line 56,118 96,118
  line 56,188 96,188
pop graphic-context
push graphic-context
  stroke none fill $node_fill
  roundrectangle 24,22 88,78 12,12
  roundrectangle 96,92 152,144 10,10
pop graphic-context
push graphic-context
  stroke $ink stroke-width 6 stroke-dasharray 12,8 fill $pale
  roundrectangle 96,162 152,214 10,10
pop graphic-context
push graphic-context
  stroke $stale_red stroke-width 9 stroke-linecap round
  line 112,176 136,200
  line 136,176 112,200
pop graphic-context
push graphic-context
  stroke $wood stroke-width 14 stroke-linecap round
  line 238,34 190,150
pop graphic-context
push graphic-context
  stroke $amber_dark stroke-width 4 fill $amber stroke-linejoin round
  path 'M 170,142 L 212,160 L 214,238 Q 178,244 146,220 Z'
pop graphic-context
push graphic-context
  stroke $amber_dark stroke-width 3 stroke-linecap round
  line 178,168 170,226
  line 192,172 190,234
  line 204,170 206,236
pop graphic-context
push graphic-context
  stroke none fill $teal_dark
  polygon 168,136 216,156 210,170 162,150
pop graphic-context
EOF
}

# A four-pointed sparkle centred at $1,$2 with radius $3.
sparkle() {
  local x=$1 y=$2 r=$3 s=$(( $3 / 4 ))
  echo "polygon $x,$((y - r)) $((x + s)),$((y - s)) $((x + r)),$y $((x + s)),$((y + s)) $x,$((y + r)) $((x - s)),$((y + s)) $((x - r)),$y $((x - s)),$((y - s))"
}

# render MVG SIZE OUT: draws the 256-unit MVG on a transparent 1024 canvas, scales to SIZE.
render() {
  local mvg=$1 size=$2 file=$3
  convert -size 1024x1024 xc:none -draw "scale 4,4 $(cat "$mvg")" \
    -filter Lanczos -resize "${size}x${size}" "$file"
}

# icon NAME SIZES...: one .ico of the sizes from $tmp/NAME.mvg.
icon() {
  local name=$1; shift
  local files=() s
  for s in "$@"; do
    render "$tmp/$name.mvg" "$s" "$tmp/$name-$s.png"
    files+=("$tmp/$name-$s.png")
  done
  convert "${files[@]}" "$out/$name.ico"
}

# --- welcome picture, 216 x 216: the emblem in a soft circle, the name at the lower right
# (the donation link reaches into the picture's lower left corner) ---------------------
{
  echo "push graphic-context stroke none fill '#eef6f9' circle 128,112 128,8 pop graphic-context"
  echo "push graphic-context translate 40,28 scale 0.7,0.7"
  emblem
  echo "pop graphic-context"
  echo "push graphic-context fill '#f2c14e' stroke none"
  sparkle 70 184 12
  sparkle 52 160 7
  echo "pop graphic-context"
} > "$tmp/welcome.mvg"
convert -size 864x864 xc:white -draw "scale 3.375,3.375 $(cat "$tmp/welcome.mvg")" \
  -filter Lanczos -resize 216x216 \
  -font "$font" -pointsize 26 -fill "$teal_dark" -gravity southeast -annotate +10+8 'Tallowin' \
  -quality 92 -sampling-factor 1x1 -strip "$out/welcome.jpg"

# --- about banner, 331 x 88: a teal band, the white emblem, name and line -------------
{
  echo "push graphic-context translate 14,6 scale 0.3,0.3"
  emblem white white
  echo "pop graphic-context"
} > "$tmp/banner.mvg"
# $1 the line under the name, $2 the file (one banner per language of the windows)
banner() {
  convert -size 1324x352 gradient:"$teal"-"$teal_dark" -rotate -90 -resize '1324x352!' \
    -draw "scale 4,4 $(cat "$tmp/banner.mvg")" -filter Lanczos -resize '331x88!' \
    -font "$font" -pointsize 30 -fill white -gravity northwest -annotate +104+14 'Tallowin' \
    -font "$font_plain" -pointsize 12 -fill '#d7e9ef' -annotate +106+54 "$1" \
    -quality 92 -sampling-factor 1x1 -strip "$2"
}
banner 'Registry cleaner for Windows' "$out/about-banner.jpg"
banner 'Registrierungsreiniger für Windows' "$out/about-banner-de.jpg"

# --- donation picture, 62 x 31: an amber badge with a heart ---------------------------
# $1 the word, $2 the file
donate() {
  convert -size 248x124 xc:white \
    -draw "stroke $amber_dark stroke-width 4 fill $amber roundrectangle 4,4 243,119 28,28" \
    -draw "stroke none fill '$stale_red' path 'M 18,54 C 18,36 42,36 42,56 C 42,36 66,36 66,54 C 66,74 42,84 42,94 C 42,84 18,74 18,54 Z'" \
    -filter Lanczos -resize 62x31 \
    -font "$font" -pointsize 8 -fill white -gravity west -annotate +18+0 "$1" \
    -quality 92 -sampling-factor 1x1 -strip "$2"
}
donate 'Donate' "$out/donate.jpg"
donate 'Spenden' "$out/donate-de.jpg"

# --- application icon: the emblem on a rounded tile ------------------------------------
{
  echo "push graphic-context stroke none fill '#f4f9fb' roundrectangle 4,4 252,252 44,44 pop graphic-context"
  echo "push graphic-context stroke '$teal' stroke-width 8 fill none roundrectangle 8,8 248,248 40,40 pop graphic-context"
  echo "push graphic-context translate 18,14 scale 0.86,0.86"
  emblem
  echo "pop graphic-context"
} > "$tmp/tallowin.mvg"
# At 16 and 24 pixels the tree keeps two keys and the broom grows, so both stay readable.
cat > "$tmp/tallowin-small.mvg" <<EOF
push graphic-context stroke none fill '#f4f9fb' roundrectangle 4,4 252,252 44,44 pop graphic-context
push graphic-context stroke '$teal' stroke-width 16 fill none roundrectangle 10,10 246,246 38,38 pop graphic-context
push graphic-context
  stroke $teal stroke-width 24 stroke-linecap square fill none
  line 66,96 66,184
  line 66,184 112,184
pop graphic-context
push graphic-context
  stroke none fill $teal
  rectangle 36,40 100,100
  rectangle 104,152 156,212
pop graphic-context
push graphic-context
  stroke $wood stroke-width 26 stroke-linecap round
  line 226,44 184,150
pop graphic-context
push graphic-context
  stroke none fill $amber
  path 'M 160,140 L 218,164 L 220,232 Q 180,238 140,214 Z'
pop graphic-context
EOF
render "$tmp/tallowin-small.mvg" 16 "$tmp/tallowin-16.png"
render "$tmp/tallowin-small.mvg" 24 "$tmp/tallowin-24.png"
render "$tmp/tallowin.mvg" 32 "$tmp/tallowin-32.png"
render "$tmp/tallowin.mvg" 48 "$tmp/tallowin-48.png"
convert "$tmp"/tallowin-{16,24,32,48}.png "$out/tallowin.ico"

# --- update icon: two arrows chasing round a circle ------------------------------------
cat > "$tmp/update.mvg" <<EOF
push graphic-context
  stroke '$teal' stroke-width 28 fill none
  path 'M 45,98 A 88,88 0 0,1 206,94'
  path 'M 211,158 A 88,88 0 0,1 50,162'
pop graphic-context
push graphic-context
  stroke none fill '$teal'
  polygon 178,88 246,88 214,136
  polygon 10,168 78,168 42,120
pop graphic-context
push graphic-context
  stroke none fill '$amber'
  polygon 128,70 166,120 142,120 142,184 114,184 114,120 90,120
pop graphic-context
EOF
icon update 32 48 64

# --- scan icon: a magnifier over the key tree -----------------------------------------
{
  echo "push graphic-context translate 0,0 scale 0.8,0.8"
  cat <<EOF
push graphic-context
  stroke $teal stroke-width 14 stroke-linecap round fill none
  line 56,78 56,188
  line 56,118 96,118
  line 56,188 96,188
pop graphic-context
push graphic-context
  stroke none fill $teal
  roundrectangle 24,22 88,78 12,12
  roundrectangle 96,92 152,144 10,10
  roundrectangle 96,162 152,214 10,10
pop graphic-context
EOF
  echo "pop graphic-context"
  cat <<EOF
push graphic-context
  stroke '$wood' stroke-width 30 stroke-linecap round
  line 196,196 240,240
pop graphic-context
push graphic-context
  stroke '$teal_dark' stroke-width 18 fill '#ffffffb0'
  circle 150,150 150,86
pop graphic-context
EOF
} > "$tmp/scan.mvg"
icon scan 32 48 64

# --- custom scan picture: a list of sections, two ticked ------------------------------
{
  for row in 0 1 2; do
    y=$(( 28 + row * 76 ))
    echo "push graphic-context stroke '$teal_dark' stroke-width 10 fill white roundrectangle 16,$y 72,$(( y + 56 )) 8,8 pop graphic-context"
    echo "push graphic-context stroke none fill '$teal' roundrectangle 96,$(( y + 18 )) 240,$(( y + 38 )) 8,8 pop graphic-context"
    if [ $row != 1 ]; then
      echo "push graphic-context stroke '$amber_dark' stroke-width 14 stroke-linecap round stroke-linejoin round fill none polyline 26,$(( y + 28 )) 42,$(( y + 46 )) 76,$(( y - 4 )) pop graphic-context"
    fi
  done
} > "$tmp/custom-scan.mvg"
icon custom-scan 32 48 64

# --- browse image: a folder; the hover version is lit and outlined ---------------------
folder() {
  local fill=$1 tab=$2 edge=$3
  cat <<EOF
push graphic-context
  stroke '$edge' stroke-width 8 stroke-linejoin round fill '$tab'
  path 'M 20,60 L 20,44 Q 20,34 30,34 L 96,34 L 116,58 L 226,58 Q 236,58 236,68 L 236,96 L 20,96 Z'
pop graphic-context
push graphic-context
  stroke '$edge' stroke-width 8 stroke-linejoin round fill '$fill'
  path 'M 12,92 Q 12,82 22,82 L 234,82 Q 246,82 244,94 L 228,212 Q 226,222 216,222 L 34,222 Q 24,222 22,212 Z'
pop graphic-context
EOF
}
folder "$amber" '#d08f2a' "$amber_dark" > "$tmp/browse.mvg"
{
  echo "push graphic-context stroke none fill '#fff3d6' roundrectangle 0,0 255,255 36,36 pop graphic-context"
  folder '#f6bd55' "$amber" "$teal"
} > "$tmp/browse-hover.mvg"
icon browse 32 48 64
icon browse-hover 32 48 64

ls -l "$out"
