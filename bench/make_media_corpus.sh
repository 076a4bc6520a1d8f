#!/bin/sh
# Writes the real-media corpus for `throughput.py --corpus DIR` (default
# /tmp/kindprobe-media-corpus): 44 files written by ffmpeg (eleven containers, each whole, cut to
# a third and to two thirds, and renamed to .avi) copied to 20,000 files in 40 directories.
set -eu

root=${1:-/tmp/kindprobe-media-corpus}
[ -e "$root/.complete" ] && exit 0
src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT

video="-f lavfi -i testsrc=size=64x48:rate=25:duration=1"
audio="-f lavfi -i sine=frequency=440:sample_rate=8000:duration=1"
make() { # NAME INPUT OPTIONS...
  name=$1; input=$2; shift 2
  # shellcheck disable=SC2086
  ffmpeg -hide_banner -loglevel error -nostdin -y $input "$@" "$src/m.$name"
}
make avi "$video" -c:v mpeg4
make mkv "$video" -c:v mpeg4
make mp4 "$video" -c:v mpeg4
make mov "$video" -c:v mpeg4
make m4a "$audio" -c:a aac
make flv "$video" -c:v flv
make ts "$video" -c:v mpeg1video -f mpegts
make ogg "$audio" -c:a libvorbis
make wav "$audio" -c:a pcm_s16le
make mp3 "$audio" -c:a libmp3lame
make mpg "$video" -c:v mpeg1video -f mpeg

for f in "$src"/m.*; do
  ext=${f##*.}
  size=$(stat -c %s "$f")
  head -c $((size / 3)) "$f" >"$src/c1.$ext"
  head -c $((size * 2 / 3)) "$f" >"$src/c2.$ext"
  if [ "$ext" = avi ]; then cp "$f" "$src/r-avi.mkv"; else cp "$f" "$src/r-$ext.avi"; fi
done

rm -rf "$root"
for d in $(seq 0 39); do mkdir -p "$root/d$(printf %02d "$d")"; done
set -- "$src"/*
i=0
while [ "$i" -lt 20000 ]; do
  for f in "$@"; do
    [ "$i" -lt 20000 ] || break
    cp "$f" "$root/d$(printf %02d $((i % 40)))/f$(printf %05d "$i")-${f##*/}"
    i=$((i + 1))
  done
done
touch "$root/.complete"
